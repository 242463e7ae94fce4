// quado-demo's self-check, used by its test: watches the running program
// from outside (the connection, the lit quadrant, the panel text and, with
// --screen, the monitor and rectangle of the main window) and prints each
// change on stdout as one "quado-demo: ..." line.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <string>

class CMainFrame;

class CDemoObserver : public QObject {
    Q_OBJECT
public:
    // Often enough to see a colour lit at a sped-up board's pace.
    static constexpr int SampleMs = 5;

    explicit CDemoObserver(CMainFrame& frame);

    void Start();
    // Disconnects through the adapter window's button, as a user would,
    // reports it, and closes the main window, which ends the run.
    void Finish();

private:
    void Sample();

    CMainFrame& m_frame;
    QTimer m_timer;
    bool m_bConnected = false;
    int m_nLit = 0;
    std::wstring m_strPanel;
    QString m_strScreen;
};
