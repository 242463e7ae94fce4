#include "drivers/NamedListAccessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

#include <mutex>

namespace {

class CNamedListAccessible : public QAccessibleWidget {
public:
    explicit CNamedListAccessible(QComboBox* pList)
        : QAccessibleWidget(pList, QAccessible::ComboBox)
    {
    }

    QString text(QAccessible::Text nText) const override
    {
        if (nText == QAccessible::Value)
            return List()->currentText();
        return QAccessibleWidget::text(nText);
    }

    QAccessible::State state() const override
    {
        QAccessible::State st = QAccessibleWidget::state();
        st.expandable = true;
        st.expanded = List()->view()->isVisible();
        st.collapsed = !st.expanded;
        st.editable = List()->isEditable();
        return st;
    }

    // Opening the list is what pressing it does.
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& strAction) override
    {
        if (strAction != showMenuAction() && strAction != pressAction())
            return;
        if (List()->view()->isVisible())
            List()->hidePopup();
        else
            List()->showPopup();
    }

private:
    QComboBox* List() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* NamedListFactory(const QString&, QObject* pObject)
{
    auto* pList = qobject_cast<QComboBox*>(pObject);
    if (pList && !pList->accessibleName().isEmpty())
        return new CNamedListAccessible(pList);
    return nullptr;
}

} // namespace

void InstallNamedListAccessibility()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] { QAccessible::installFactory(NamedListFactory); });
}
