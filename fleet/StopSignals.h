// Brings the program to its one orderly end when it is asked to stop by a
// signal (SIGTERM from systemd or kill, SIGHUP, SIGINT), so that the game in
// progress is kept, the broker hears goodbye and the metrics file is written
// once more. Signals the process was started ignoring stay ignored.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

class CStopSignals : public QObject {
    Q_OBJECT
public:
    explicit CStopSignals(QObject* pParent = nullptr);
    ~CStopSignals() override;

    // From now on a stop signal ends the program at once (the default
    // action): the end is under way and must not be waited for twice. The
    // first signal does this itself.
    static void Disarm();

signals:
    // On the UI thread, for the first signal.
    void StopRequested();

private:
    std::unique_ptr<QSocketNotifier> m_pNotifier;
};
