// Reaches into the window from above: must be named.
void Disconnect(CFrame& frame) { frame.m_dlgDravikDriver.m_btnConnect.click(); }
