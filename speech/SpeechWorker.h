// Qt's text to speech on the speech thread: picks an engine that loads, an
// English and a German voice where it has them, and tells when each phrase is
// over. Lives and dies on that thread; only CQtSpeechEngine talks to it.
#pragma once

#include <QLocale>
#include <QObject>
#include <QString>
#include <QTextToSpeech>
#include <QTimer>

#include <memory>
#include <optional>

#include "speech/SpokenText.h"

class CSpeechWorker : public QObject {
    Q_OBJECT
public:
    // strEngine: the one engine to use; empty tries speech-dispatcher, then
    // flite, then whatever else is installed.
    explicit CSpeechWorker(QString strEngine);
    ~CSpeechWorker() override;

    void Load();
    void Say(int nId, const QString& strText, SpokenLanguage nLanguage);
    void Stop();

signals:
    void Loaded(bool bOk, const QString& strReason);
    void Said(int nId);

private:
    struct Phrase {
        int nId;
        QString strText;
        SpokenLanguage nLanguage;
    };
    void SayNow(const Phrase& phrase);
    void EndDrain();
    void OnStateChanged(QTextToSpeech::State nState);
    void OnError();
    void Finish();

    QString m_strEngine;
    std::unique_ptr<QTextToSpeech> m_pSpeech;
    std::optional<QLocale> m_english;
    std::optional<QLocale> m_german;
    // The phrase being said, 0 for none; it ends with a "ready" after it
    // was heard to start.
    int m_nCurrentId = 0;
    bool m_bStarted = false;
    // The engine's reports name no phrase, and a cut phrase's start and end
    // may still be on their way: after a stop, the next phrase waits for
    // the engine to report itself ready (or for the guard, when the stop
    // had nothing to report).
    bool m_bDraining = false;
    std::optional<Phrase> m_pending;
    QTimer m_drainGuard;
};
