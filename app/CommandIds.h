// The main window's command identifiers; each menu action carries its id.
#pragma once

namespace CommandId {
constexpr int AppExit = 57665;      // File > Exit
constexpr int AppAbout = 57664;     // Help > About Quado...
constexpr int Mute = 32774;         // Options > Mute
constexpr int FullScreen = 32771;   // View > Full Screen
constexpr int FullScreenBar = 32772; // the full-screen tool bar's button
constexpr int ScaleDown = 32776;    // View > Scale Down
constexpr int FitToScreen = 32777;  // Options > Fit to Screen
constexpr int DravikDriver = 32775; // Show > Dravik Driver
constexpr int ManualDriver = 32773; // Show > Manual Driver
constexpr int ConnectAutomatically = 32778; // Options > Connect Automatically
constexpr int KeepRecords = 32779;   // Options > Keep Records
constexpr int IdleRecords = 32780;   // Options > Show Records When Idle
constexpr int RecordsWindow = 32781; // Show > Records
constexpr int ExportRecords = 32782; // File > Export Records...
constexpr int Speak = 32783;         // Options > Speak Texts
constexpr int Shapes = 32795;        // Options > Shapes on the Board
constexpr int LanguageEnglish = 32800; // Options > Language > English
constexpr int LanguageGerman = 32801;  // Options > Language > Deutsch
} // namespace CommandId
