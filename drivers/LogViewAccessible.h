// The adapter window's log as screen readers meet it: read-only text they can
// read whole, by line or by word, with the mouse selection as theirs, told of
// every line that comes.
#pragma once

#include <QAccessibleWidget>

class CLogView;

class CLogViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit CLogViewAccessible(CLogView* pView);

    void* interface_cast(QAccessible::InterfaceType nType) override;
    QAccessible::State state() const override;

    void selection(int nSelection, int* pnStart, int* pnEnd) const override;
    int selectionCount() const override;
    void addSelection(int nStart, int nEnd) override;
    void removeSelection(int nSelection) override;
    void setSelection(int nSelection, int nStart, int nEnd) override;
    int cursorPosition() const override;
    void setCursorPosition(int nPosition) override;
    QString text(int nStart, int nEnd) const override;
    using QAccessibleWidget::text;
    int characterCount() const override;
    QRect characterRect(int nOffset) const override;
    int offsetAtPoint(const QPoint& ptScreen) const override;
    void scrollToSubstring(int nStart, int nEnd) override;
    QString attributes(int nOffset, int* pnStart, int* pnEnd) const override;

private:
    CLogView* View() const;
    int Clamped(int nOffset) const;
    // The display row holding that text offset.
    int RowOf(int nOffset) const;
};

// Makes every log view meet screen readers this way. Once per program; later
// calls do nothing.
void InstallLogViewAccessibility();
