#include "app/ScreenChoice.h"

#include <QGuiApplication>
#include <QScreen>

#include <cstdio>

namespace {

QStringList ScreenNames()
{
    QStringList names;
    for (const QScreen* pScreen : QGuiApplication::screens())
        names.append(pScreen->name());
    return names;
}

} // namespace

int CScreenChoice::Resolve(const QString& strChoice, const QStringList& names)
{
    // A name first: a monitor may well be called "1".
    if (const int nByName = int(names.indexOf(strChoice)); nByName >= 0)
        return nByName;
    bool bNumber = false;
    const int nIndex = strChoice.toInt(&bNumber);
    if (bNumber && nIndex >= 0 && nIndex < names.size() && !strChoice.startsWith(QLatin1Char('+')))
        return nIndex;
    return -1;
}

CScreenChoice::CScreenChoice(const QString& strChoice, QObject* pParent)
    : QObject(pParent)
    , m_strChoice(strChoice)
{
    const int nIndex = Resolve(m_strChoice, ScreenNames());
    m_bPresent = nIndex >= 0;
    Watch(m_bPresent ? QGuiApplication::screens().at(nIndex) : QGuiApplication::primaryScreen());
    if (!m_bPresent) {
        // Not a refusal: at a venue the monitor may be switched on later.
        std::fprintf(stderr, "Quado: no screen '%s' (there are: %s); using the primary screen until it appears\n",
                     qPrintable(m_strChoice), qPrintable(ScreenNames().join(QStringLiteral(", "))));
    }
    // Queued: the toolkit first finishes moving its windows off a screen
    // that goes, and this then moves the frame where it belongs.
    const auto update = [this] { Update(); };
    connect(qGuiApp, &QGuiApplication::screenAdded, this, update, Qt::QueuedConnection);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, update, Qt::QueuedConnection);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, update, Qt::QueuedConnection);
}

QScreen* CScreenChoice::Screen() const
{
    return m_pScreen;
}

void CScreenChoice::Watch(QScreen* pScreen)
{
    if (m_pScreen)
        disconnect(m_pScreen, nullptr, this, nullptr);
    m_pScreen = pScreen;
    if (m_pScreen) {
        // A new resolution on the same monitor: full screen fits it again.
        connect(m_pScreen, &QScreen::geometryChanged, this, [this] { emit ScreenChanged(m_pScreen); });
    }
}

void CScreenChoice::Update()
{
    const int nIndex = Resolve(m_strChoice, ScreenNames());
    const bool bPresent = nIndex >= 0;
    QScreen* pScreen = bPresent ? QGuiApplication::screens().at(nIndex) : QGuiApplication::primaryScreen();
    if (bPresent != m_bPresent) {
        if (bPresent)
            std::fprintf(stderr, "Quado: screen '%s' is there again\n", qPrintable(m_strChoice));
        else
            std::fprintf(stderr, "Quado: screen '%s' has gone; using the primary screen until it is back\n",
                         qPrintable(m_strChoice));
    }
    m_bPresent = bPresent;
    if (pScreen == m_pScreen)
        return;
    Watch(pScreen);
    emit ScreenChanged(pScreen);
}
