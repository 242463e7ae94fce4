// A speech engine that only writes down what it was asked, and reports what
// the test tells it to: for the order and cutting of what is said.
#pragma once

#include <QString>

#include <string>
#include <vector>

#include "speech/ISpeechEngine.h"

class CStandInEngine : public ISpeechEngine {
public:
    struct Call {
        std::string strWhat; // "say" or "stop"
        int nId = 0;
        QString strText;
        SpokenLanguage nLanguage = SpokenLanguage::English;
    };

    void Start(Handlers handlers) override
    {
        ++m_nStarts;
        m_handlers = std::move(handlers);
    }
    void Say(int nId, const QString& strText, SpokenLanguage nLanguage) override
    {
        m_calls.push_back({"say", nId, strText, nLanguage});
    }
    void Stop() override { m_calls.push_back({"stop", 0, QString(), SpokenLanguage::English}); }

    // As the engine would, later and on the UI thread.
    void Loaded(bool bOk, const QString& strReason = QString()) { m_handlers.onLoaded(bOk, strReason); }
    void Said(int nId) { m_handlers.onSaid(nId); }

    // The last phrase asked for; 0 when none.
    int LastSayId() const
    {
        for (auto it = m_calls.rbegin(); it != m_calls.rend(); ++it) {
            if (it->strWhat == "say")
                return it->nId;
        }
        return 0;
    }
    // "say en You Win!", "say de Sie Haben Gewonnen!", "stop".
    std::vector<std::string> Script() const
    {
        std::vector<std::string> script;
        for (const Call& call : m_calls) {
            if (call.strWhat == "stop")
                script.push_back("stop");
            else
                script.push_back(std::string("say ") + (call.nLanguage == SpokenLanguage::German ? "de " : "en ") +
                                 call.strText.toStdString());
        }
        return script;
    }
    void Clear() { m_calls.clear(); }

    int m_nStarts = 0;
    std::vector<Call> m_calls;
    Handlers m_handlers;
};
