// Qt's text to speech on the speech thread: picks an engine that loads, an
// English and a German voice where it has them, and tells when each phrase is
// over. Lives and dies on that thread; only CQtSpeechEngine talks to it.
#pragma once

#include <QLocale>
#include <QObject>
#include <QString>
#include <QTextToSpeech>

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
    void OnStateChanged(QTextToSpeech::State nState);
    void OnError();
    void Finish();

    QString m_strEngine;
    std::unique_ptr<QTextToSpeech> m_pSpeech;
    std::optional<QLocale> m_english;
    std::optional<QLocale> m_german;
    // The phrase being said, 0 for none. A stop's own "ready" may come
    // after the next phrase was asked for: only a "ready" after that
    // phrase was heard to start ends it.
    int m_nCurrentId = 0;
    bool m_bStarted = false;
};
