// The start options of quado and quado-demo: parsed from the command line
// before the toolkit starts, so --help, --version and refusals need no display.
#pragma once

#include <string>
#include <vector>

#include "app/InstanceOptions.h"
#include "fleet/VenueOptions.h"

// The idle screen's wait in kiosk mode unless --idle-records sets another.
inline constexpr double KioskIdleRecordsSeconds = 120;

struct StartOptions {
    bool bFullScreen = false;
    bool bFit = false;
    bool bMute = false;
    // Options > Shapes on the Board on from the start.
    bool bShapes = false;
    // Options > Speak Texts on from the start (--speak).
    bool bSpeak = false;
    // Connect automatically; an empty serial means the first adapter listed.
    bool bConnect = false;
    std::string strSerial;
    bool bKiosk = false;
    bool bHelp = false;
    bool bVersion = false;
    // quado-demo only: unplug the simulated adapter for a second every so
    // many seconds; 0 never.
    double fReplugEverySeconds = 0;
    // Records of play: kept unless --no-records, in --records FILE or the
    // default file.
    bool bRecords = true;
    std::string strRecordsFile;
    // The idle screen after this many seconds without a board line; 0 off
    // (--kiosk makes it 120 unless --idle-records says otherwise).
    double fIdleRecordsSeconds = 0;
    // quado only: --export-records FILE (or "-") writes the records as CSV
    // and ends, with no window; --since YYYY-MM-DD, the first day.
    bool bExportRecords = false;
    std::string strExportRecords;
    std::string strSince;
    // --opening-hours HOURS: asleep while closed; checked when parsed.
    std::string strOpeningHours;
    // quado only: --explain prints the hours' state (at --at, local
    // YYYY-MM-DDTHH:MM, or now) and ends, with no window or display.
    bool bExplainHours = false;
    std::string strExplainAt;
    // "en" or "de" (--language); empty follows the system.
    std::string strLanguage;
    // MQTT and the metrics file (see fleet/VenueOptions.h).
    VenueOptions venue;
    // --instance, --screen and --config (see app/InstanceOptions.h).
    InstanceOptions instance;
};

// Whether the text is a real calendar day written YYYY-MM-DD.
bool IsIsoDate(const std::string& str);

struct StartOptionsResult {
    StartOptions options;
    // Empty when the command line was accepted; else the one line to print.
    std::string strError;
};

// bDemo admits the options only quado-demo has. Options of the toolkit (one
// dash, e.g. -platform offscreen) are passed over with their values.
StartOptionsResult ParseStartOptions(const std::vector<std::string>& args, bool bDemo);

// The files the options name that Quado writes (--records, --export-records)
// looked at before anything is written: false, with the one line to print,
// when one is a device, a named pipe, a socket or a folder.
bool CheckWrittenFiles(const StartOptions& options, std::string& strError);

// The --help text for the program called pszProgram.
std::string StartOptionsHelp(const char* pszProgram, bool bDemo);

// "1.0": what --version prints and the venue's reports name.
const char* ProgramVersion();

// Runs the parser on main()'s arguments and the --config file they name: prints help or version (returns 0),
// a refusal on stderr (returns 2), or returns -1 to go on with *pOptions.
// Reads the MQTT password then (see PrepareVenueOptions) and checks the
// files to be written (CheckWrittenFiles).
int HandleStartOptions(int argc, char* argv[], bool bDemo, StartOptions* pOptions);
