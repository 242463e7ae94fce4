// Running the tools as a user runs them: quado-replay and quado-demo started
// as processes, their files and output read back.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "tests/support/HangGuard.h"

namespace toolstest {

struct RunResult {
    int nExitCode = -1;
    bool bCrashed = false;
    QByteArray stdoutBytes;
    QByteArray stderrBytes;
};

QString DataFile(const char* pszName);

RunResult RunProgram(const QString& strProgram, const QStringList& args, const QByteArray& stdinBytes = {},
                     const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                     int nTimeoutMs = testsupport::HangGuardMs);

// One replay into its own directory, with its results loaded.
struct Replay {
    QTemporaryDir dir;
    RunResult run;
    QJsonObject state;
    QImage canvas;
    QImage window;

    bool Ok() const { return run.nExitCode == 0 && !run.bCrashed && !state.isEmpty(); }
};

void RunReplay(Replay& replay, const QStringList& args, const QByteArray& stdinBytes = {});

} // namespace toolstest
