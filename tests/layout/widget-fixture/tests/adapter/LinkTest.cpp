// A test of the link that reaches for the window's list: must be named.
int Count(CQuadoDravikDriver& dlg) { return dlg.m_cbDevices.count(); }
