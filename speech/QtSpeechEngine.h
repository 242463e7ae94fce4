// The speech engine Quado speaks through: Qt's text to speech on a thread of
// its own, so that loading an engine (which may start a speech server) and
// each request to it never hold up the board, the tones or the receive path.
// Made on the UI thread; every report comes back there.
#pragma once

#include <QObject>
#include <QString>

#include <chrono>

#include "speech/ISpeechEngine.h"

class CSpeechWorker;
class QThread;

class CQtSpeechEngine : public QObject, public ISpeechEngine {
    Q_OBJECT
public:
    // How long the end waits for the speech thread; one stuck in a speech
    // server is left behind rather than holding the program open.
    static constexpr std::chrono::milliseconds EndWait{2000};

    // strEngine as for CSpeechWorker; empty picks one.
    explicit CQtSpeechEngine(QString strEngine = QString(), QObject* pParent = nullptr);
    ~CQtSpeechEngine() override;

    // Whether this build has Qt's text to speech at all.
    static bool IsBuiltIn();
    // Some engine is installed; when none is, why (cheap: reads the plugin
    // list only).
    static bool IsInstalled(QString* pstrReason);

    void Start(Handlers handlers) override;
    void Say(int nId, const QString& strText, SpokenLanguage nLanguage) override;
    void Stop() override;

private:
    QString m_strEngine;
    Handlers m_handlers;
    QThread* m_pThread = nullptr;
    CSpeechWorker* m_pWorker = nullptr;
};
