// Names that only begin like a control, and the link: must not be named.
void Look(CLink& link, CQuadoDravikDriver& dlg) { link.Connect(); (void)dlg.m_bConnectedLook; (void)m_cbDevicesSeen; }
