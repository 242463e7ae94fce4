#include "platform/MessageBox.h"

#include <QMessageBox>

namespace {

MessageBoxHook& Hook()
{
    static MessageBoxHook s_hook;
    return s_hook;
}

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::Information:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

int QuadoMessageBox(QWidget* pOwner, const QString& strText, const QString& strCaption,
                    MessageIcon icon)
{
    if (Hook())
        return Hook()(pOwner, strText, strCaption, icon);
    QMessageBox box(ToQtIcon(icon), strCaption, strText, QMessageBox::Ok, pOwner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return MessageBoxOk;
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook)
{
    MessageBoxHook hookPrev = std::move(Hook());
    Hook() = std::move(hook);
    return hookPrev;
}
