#include "speech/Speaker.h"

#include <climits>

void CSpeaker::Speak(const std::wstring& strPanel)
{
    Stop();
    const SpokenParts parts = SplitPanelText(strPanel);
    if (!parts.strEnglish.isEmpty())
        m_waiting.push_back({parts.strEnglish, SpokenLanguage::English});
    if (!parts.strGerman.isEmpty())
        m_waiting.push_back({parts.strGerman, SpokenLanguage::German});
    SayNext();
}

void CSpeaker::Stop()
{
    m_waiting.clear();
    if (m_nCurrentId != 0) {
        m_nCurrentId = 0;
        m_engine.Stop();
    }
}

void CSpeaker::OnSaid(int nId)
{
    if (nId == 0 || nId != m_nCurrentId)
        return;
    m_nCurrentId = 0;
    SayNext();
}

void CSpeaker::SayNext()
{
    if (m_waiting.empty())
        return;
    const Phrase phrase = m_waiting.front();
    m_waiting.pop_front();
    // Wraps after two thousand million phrases; 0 stays "none".
    m_nLastId = m_nLastId == INT_MAX ? 1 : m_nLastId + 1;
    m_nCurrentId = m_nLastId;
    m_engine.Say(m_nCurrentId, phrase.strText, phrase.nLanguage);
}
