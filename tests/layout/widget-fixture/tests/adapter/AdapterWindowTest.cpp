// The window's own test may press its button.
void Click(CQuadoDravikDriver& dlg) { dlg.m_btnConnect.click(); }
