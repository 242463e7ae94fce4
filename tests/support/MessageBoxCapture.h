// Message boxes recorded instead of shown, so a test can check what the user
// would have been told without a modal loop waiting for a click.
#pragma once

#include <QString>

#include <vector>

#include "platform/MessageBox.h"

// Records every box asked for while it lives and answers OK at once.
class CMessageBoxCapture {
public:
    struct Box {
        QWidget* pOwner;
        QString strText;
        QString strCaption;
        MessageIcon icon;
    };

    CMessageBoxCapture();
    ~CMessageBoxCapture();
    CMessageBoxCapture(const CMessageBoxCapture&) = delete;
    CMessageBoxCapture& operator=(const CMessageBoxCapture&) = delete;

    std::vector<Box> m_vecBoxes;

private:
    MessageBoxHook m_hookPrev;
};
