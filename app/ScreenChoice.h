// The monitor an exhibit was told to use (--screen NAME|INDEX), followed as
// monitors come and go: while it is away the primary screen stands in, and
// when it comes back the exhibit goes there again. Emits; the main frame
// listens and moves its window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QScreen;

class CScreenChoice : public QObject {
    Q_OBJECT
public:
    // Needs a QGuiApplication. A choice no screen answers to yet says so on
    // stderr once and uses the primary screen meanwhile.
    explicit CScreenChoice(const QString& strChoice, QObject* pParent = nullptr);

    // The chosen screen when it is there, else the primary one (null only
    // while the system has no screen at all).
    QScreen* Screen() const;
    bool IsChosenPresent() const { return m_bPresent; }
    const QString& Choice() const { return m_strChoice; }

    // Which of the screens (their names in the system's order) the choice
    // means: the one of that name, else, for a number, the one at that
    // index; -1 for none.
    static int Resolve(const QString& strChoice, const QStringList& names);

signals:
    // The screen to use now, or its geometry, has changed.
    void ScreenChanged(QScreen* pScreen);

private:
    void Update();
    void Watch(QScreen* pScreen);

    QString m_strChoice;
    QPointer<QScreen> m_pScreen;
    bool m_bPresent = false;
};
