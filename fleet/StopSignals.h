// Ends the program through its normal way out when it is asked to stop by a
// signal (SIGTERM from systemd or kill, SIGHUP, SIGINT), so that the broker
// hears "offline" and the metrics file is written once more. Signals the
// process was started ignoring stay ignored.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

class CStopSignals : public QObject {
    Q_OBJECT
public:
    explicit CStopSignals(QObject* pParent = nullptr);
    ~CStopSignals() override;

signals:
    // On the UI thread, for the first signal; a second one ends the
    // program at once.
    void StopRequested();

private:
    std::unique_ptr<QSocketNotifier> m_pNotifier;
};
