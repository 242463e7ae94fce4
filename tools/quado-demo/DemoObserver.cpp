#include "tools/quado-demo/DemoObserver.h"

#include <QScreen>
#include <QString>
#include <QWindow>

#include <cstdio>

#include "app/MainFrame.h"

namespace {

void Report(const QString& strWhat)
{
    std::printf("quado-demo: %s\n", strWhat.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

CDemoObserver::CDemoObserver(CMainFrame& frame) : m_frame(frame)
{
    m_timer.setInterval(SampleMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CDemoObserver::Sample);
}

void CDemoObserver::Start()
{
    m_timer.start();
}

void CDemoObserver::Sample()
{
    if (m_frame.AdapterLink().IsConnected() != m_bConnected) {
        m_bConnected = m_frame.AdapterLink().IsConnected();
        Report(QString::fromLatin1(m_bConnected ? "connected" : "disconnected"));
    }
    if (m_frame.LitQuadrant() != m_nLit) {
        m_nLit = m_frame.LitQuadrant();
        Report(QString::fromLatin1("lit %1").arg(m_nLit));
    }
    if (m_frame.PanelText() != m_strPanel) {
        m_strPanel = m_frame.PanelText();
        QString strPanel = QString::fromStdWString(m_strPanel);
        strPanel.replace(QLatin1Char('\n'), QLatin1Char('|'));
        Report(QString::fromLatin1("panel ") + strPanel);
    }
    // "screen HDMI-2 1920,0 1920x1080 full": where a chosen monitor put the window.
    if (m_frame.ScreenChoice() && m_frame.windowHandle() && m_frame.windowHandle()->screen()) {
        const QRect rc = m_frame.windowHandle()->geometry();
        const QString strScreen = QString::fromLatin1("screen %1 %2,%3 %4x%5%6")
                                      .arg(m_frame.windowHandle()->screen()->name())
                                      .arg(rc.x())
                                      .arg(rc.y())
                                      .arg(rc.width())
                                      .arg(rc.height())
                                      .arg(QLatin1String(m_frame.IsFullScreen() ? " full" : ""));
        if (strScreen != m_strScreen) {
            m_strScreen = strScreen;
            Report(strScreen);
        }
    }
}

void CDemoObserver::Finish()
{
    Sample();
    if (m_frame.AdapterLink().IsConnected())
        m_frame.AdapterLink().Disconnect(DisconnectReason::User);
    Sample();
    m_timer.stop();
    m_frame.close();
}
