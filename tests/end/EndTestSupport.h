// What the end tests share: quado-demo run with a game held in progress (its
// board stops after showing a level), stopped by a signal, its output kept;
// a records file another connection holds locked; a loopback port whose
// connects never complete.
#pragma once

#include <QProcess>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace endtest {

// The level the demo's board holds its game at.
inline constexpr int HeldLevel = 2;

class CHeldGameDemo {
public:
    ~CHeldGameDemo();
    bool Start(const QStringList& args);
    // Runs the UI thread's events until the demo's panel shows the held
    // level: Quado itself has the game open. False if the demo ended first.
    bool WaitForHeldGame();
    void Signal(int nSignal);
    // Waits for the end; the exit code, or -(signal) when a signal ended it.
    int WaitForEnd();
    QString Stdout();
    QString Stderr();

private:
    QProcess m_process;
    QString m_strStdout;
    QString m_strStderr;
};

// The side files SQLite leaves beside an unclosed file that exist now.
QStringList SideFiles(const QString& strPath);

// A second connection on the file holding its write lock until Release or
// destruction, as another program writing would.
class CWriteLock {
public:
    explicit CWriteLock(const QString& strPath);
    ~CWriteLock();
    bool IsHeld() const { return m_bHeld; }
    void Release();

private:
    QString m_strName;
    bool m_bHeld = false;
};

// A listener whose queue of connections is full: a connect to it is never
// answered (the kernel drops the attempts), as with a broker behind a dead
// route. Closes with the object.
class CDeafListener {
public:
    CDeafListener();
    ~CDeafListener();
    int Port() const { return m_nPort; }

private:
    int m_nListener = -1;
    int m_nPort = 0;
    int m_nFiller[4] = {-1, -1, -1, -1};
};

} // namespace endtest
