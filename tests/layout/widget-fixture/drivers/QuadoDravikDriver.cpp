// The window itself may use its controls.
void Press(CQuadoDravikDriver& dlg) { dlg.m_btnConnect.click(); }
