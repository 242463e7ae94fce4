#include "tools/quado-demo/DemoObserver.h"

#include <QString>

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
