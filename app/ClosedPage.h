// The picture while the venue is closed: a calm page over the whole board
// view, in the background's colours (or black, where the screen itself
// cannot be switched off), saying when it opens again.
#pragma once

#include <QDateTime>
#include <QWidget>

class CClosedPage : public QWidget {
    Q_OBJECT
public:
    // Covers pView, follows its size, and starts hidden.
    explicit CClosedPage(QWidget* pView);

    // Black ground instead of the background's blue-grey.
    void SetBlack(bool bBlack);
    bool IsBlack() const { return m_bBlack; }
    // The next opening; invalid when none is known.
    void SetNextOpening(const QDateTime& when, const QDateTime& now);
    // The two lines as shown.
    const QString& Title() const { return m_strTitle; }
    const QString& Detail() const { return m_strDetail; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    bool m_bBlack = true;
    QString m_strTitle;
    QString m_strDetail;
};
