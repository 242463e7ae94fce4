// The application: names the program, owns the sound player and the main
// frame for the whole run, starts them, and ends the run the one orderly way
// whatever ends it. main() runs one.
#pragma once

#include <chrono>
#include <memory>

#include "app/StartOptions.h"

class CMainFrame;
class CSleepController;
class CSoundPlayer;
class CStopSignals;
class CVenueLink;

class CQuadoApp {
public:
    static constexpr const char* AppName = "Quado";
    // Declared as the program's settings location; nothing is ever stored.
    static constexpr const char* CompanyName = "Norvane Quado";

    CQuadoApp();
    ~CQuadoApp();
    CQuadoApp(const CQuadoApp&) = delete;
    CQuadoApp& operator=(const CQuadoApp&) = delete;

    // Needs a QApplication. Creates and shows the main window; false when it
    // cannot be created, and then the program must end.
    bool InitInstance(const StartOptions& options = {});

    // The message loop, then the end. Returns the exit status; when a thread
    // is still inside a library after the end's bounded waits (a records
    // file that would not close, a broker connect that would not end), the
    // process ends here at once instead, without its exit handlers.
    int Run();

    // The one way out, whatever asks for it (the window closed, File > Exit,
    // SIGTERM, SIGINT, SIGHUP, the session ending), in this order: the game
    // in progress ends as abandoned (cause closing) and goes to the records;
    // the venue hears it, the adapter's "closing", the last state and
    // metrics, then "offline"; the records file is closed, waited for at
    // most RecordsEndWait. Then the message loop ends. Once; later calls do
    // nothing.
    void EndRun();
    bool IsEnded() const { return m_bEnded; }

    static constexpr std::chrono::milliseconds RecordsEndWait{3000};

    CMainFrame* MainFrame() const { return m_pMainWnd.get(); }
    // Null without --opening-hours.
    CSleepController* Sleep() const { return m_pSleep.get(); }

private:
    // Declared before the frame so it outlives the frame and the tool
    // windows, which may still stop a sound while they close.
    std::unique_ptr<CSoundPlayer> m_pSoundPlayer;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    // Between the two: its page lies on the frame's view, the venue asks it.
    std::unique_ptr<CSleepController> m_pSleep;
    // After the frame, so that it goes first: it says goodbye to the venue
    // while the frame still exists.
    std::unique_ptr<CVenueLink> m_pVenue;
    // From the start, with or without any venue option.
    std::unique_ptr<CStopSignals> m_pStopSignals;
    bool m_bEnded = false;
    bool m_bRecordsLeftOpen = false;
};
