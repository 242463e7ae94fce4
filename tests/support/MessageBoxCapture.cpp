#include "tests/support/MessageBoxCapture.h"

CMessageBoxCapture::CMessageBoxCapture()
{
    m_hookPrev = SetMessageBoxHook(
        [this](QWidget* pOwner, const QString& strText, const QString& strCaption, MessageIcon icon) {
            m_vecBoxes.push_back({pOwner, strText, strCaption, icon});
            return MessageBoxOk;
        });
}

CMessageBoxCapture::~CMessageBoxCapture()
{
    SetMessageBoxHook(std::move(m_hookPrev));
}
