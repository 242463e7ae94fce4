// The application: names the program, owns the sound player and the main
// frame for the whole run, and starts them. main() runs one.
#pragma once

#include <memory>

#include "app/StartOptions.h"

class CMainFrame;
class CSoundPlayer;
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

    CMainFrame* MainFrame() const { return m_pMainWnd.get(); }

private:
    // Declared before the frame so it outlives the frame and the tool
    // windows, which may still stop a sound while they close.
    std::unique_ptr<CSoundPlayer> m_pSoundPlayer;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    // After the frame, so that it goes first: it says goodbye to the venue
    // while the frame still exists.
    std::unique_ptr<CVenueLink> m_pVenue;
};
