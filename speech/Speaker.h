// The order and cutting of what is said: a panel text is said English first,
// then German; a new text cuts whatever of the last one is still being said
// or waiting. UI thread only; the engine does the speaking.
#pragma once

#include <QString>

#include <deque>
#include <string>

#include "speech/ISpeechEngine.h"

class CSpeaker {
public:
    // The engine must outlive the speaker; its onSaid goes to OnSaid.
    explicit CSpeaker(ISpeechEngine& engine)
        : m_engine(engine)
    {
    }

    // Cuts what is being said and says this text; an empty text (the panel
    // cleared) only cuts.
    void Speak(const std::wstring& strPanel);
    void Stop();
    void OnSaid(int nId);
    bool IsSpeaking() const { return m_nCurrentId != 0; }

private:
    struct Phrase {
        QString strText;
        SpokenLanguage nLanguage;
    };
    void SayNext();

    ISpeechEngine& m_engine;
    std::deque<Phrase> m_waiting;
    // 0 while nothing is being said; ids are never reused, so a late report
    // of a cut phrase moves nothing on.
    int m_nCurrentId = 0;
    int m_nLastId = 0;
};
