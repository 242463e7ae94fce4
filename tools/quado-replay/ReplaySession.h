// One quado-replay run: Quado's real frame, adapter window, receive thread and
// board view over a simulated adapter, a recorded stream delivered read by
// read through the normal Connect, and what the program shows afterwards
// written out as pictures and a state report.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <memory>
#include <string>

#include "protocol/ISoundPlayer.h"
#include "tools/quado-replay/ReplayGames.h"
#include "tools/quado-replay/ReplayOptions.h"

class CMainFrame;
class CSimulatedAdapter;
class CSimulatedHidBackend;

// Silent: keeps every call the interpreter makes, in order, as the report's
// "sounds" entries.
class CRecordingSoundPlayer : public ISoundPlayer {
public:
    void PlayOnce(int nSoundId) override;
    void PlayLooping(int nSoundId) override;
    void Stop() override;

    QJsonArray m_calls;
};

class CReplaySession {
public:
    static constexpr const char* AdapterPath = "/dev/hidraw-replay0";
    static constexpr const char* AdapterSerial = "REPLAY01";
    // Only for a run that hangs: a read comes through, or the adapter
    // window says why it cannot (disconnected, its receive thread ended),
    // however slow the machine.
    static constexpr int HangGuardMs = 10 * 60 * 1000;

    explicit CReplaySession(const ReplayOptions& options);
    ~CReplaySession();
    CReplaySession(const CReplaySession&) = delete;
    CReplaySession& operator=(const CReplaySession&) = delete;

    // Needs a QApplication. Returns false with a one-line reason.
    bool Run(const std::string& strBytes, QString& strError);

private:
    bool Start(QString& strError);
    bool SetClientSize(QString& strError);
    bool Connect(QString& strError);
    bool Deliver(const std::string& strBytes, QString& strError);
    // Writes the pictures, disconnects, and fills the state report.
    bool ReadState(QJsonObject& state, QString& strError);
    bool WriteState(const QJsonObject& state, QString& strError);

    ReplayOptions m_options;
    std::unique_ptr<CSimulatedHidBackend> m_pBackend;
    std::shared_ptr<CSimulatedAdapter> m_pAdapter;
    CRecordingSoundPlayer m_player;
    std::unique_ptr<CMainFrame> m_pFrame;
    QString m_strBoxes;
    // What the link gave the log since the frame was made, as the user
    // reads it in the adapter window.
    QString m_strLog;
    // The bytes fed to the adapter so far: where in the stream a game ended.
    size_t m_nDelivered = 0;
    CReplayGames m_games;
};
