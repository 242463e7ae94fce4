// The main window as a venue sees and steers it: the snapshot of what the
// screen shows and how it runs for the venue's reports, the broker's commands
// run through the frame's own commands and the adapter window, and the parts
// the start options (or systemd) ask for: MQTT, the metrics file, systemd's
// notification and watchdog. Owned by CQuadoApp, gone before the frame.
#pragma once

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "fleet/Metrics.h"
#include "fleet/PlayTally.h"
#include "fleet/VenueCommand.h"
#include "fleet/VenueOptions.h"
#include "fleet/VenueReport.h"

class CMainFrame;
class CSleepController;
class CSystemdNotifier;
class CVenueReporter;

struct AudioDeviceCounts {
    uint64_t nLosses = 0;
    uint64_t nReturns = 0;
};

class CVenueLink : public QObject {
    Q_OBJECT
public:
    using AudioProbe = std::function<AudioDeviceCounts()>;

    // Whether the options, or systemd, ask for any part.
    static bool IsWanted(const VenueOptions& options);

    // The frame must outlive the link. audioProbe may be null.
    CVenueLink(CMainFrame& frame, VenueOptions options, std::string strVersion, AudioProbe audioProbe);
    // End, if it has not been run.
    ~CVenueLink() override;

    // The program's end, after the frame's (the game in progress and the
    // adapter already told): systemd hears "stopping", the last metrics are
    // written, the broker gets the last state and "offline". Once.
    void End();

    // The screen's sleep by opening hours, when it has them; before Start.
    // It must outlive the link.
    void SetSleep(CSleepController* pSleep) { m_pSleep = pSleep; }

    // False with the reason when a part cannot be started; the others run.
    bool Start(std::string& strError);

    VenueSnapshot Snapshot();
    MetricsSample Metrics();
    // As the menu or the adapter window would; what cannot be done is
    // ignored with one line on stderr.
    void RunCommand(const VenueCommand& command);

    // Null when MQTT is off.
    CVenueReporter* Reporter() { return m_pReporter.get(); }
    uint64_t PaintCount() const { return m_nPaints; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void Connect(const std::string& strSerial);
    void Disconnect();

    CMainFrame& m_frame;
    VenueOptions m_options;
    std::string m_strVersion;
    AudioProbe m_audioProbe;
    CPlayTally m_tally;
    const std::chrono::steady_clock::time_point m_tStart = std::chrono::steady_clock::now();
    uint64_t m_nPaints = 0;
    std::chrono::steady_clock::time_point m_tLastPaint = m_tStart;
    // A remote disconnect turned automatic connection off, as the button
    // does; the next remote connect turns it on again.
    bool m_bAutoConnectPaused = false;
    std::unique_ptr<CVenueReporter> m_pReporter;
    std::unique_ptr<CMetricsWriter> m_pMetrics;
    std::unique_ptr<CSystemdNotifier> m_pSystemd;
    CSleepController* m_pSleep = nullptr;
    bool m_bEnded = false;
};
