// A window with two controls, as the check reads a window's header.
#pragma once

class CQuadoDravikDriver {
public:
    QComboBox m_cbDevices;
    QPushButton m_btnConnect;
    bool m_bConnectedLook = false;
};
