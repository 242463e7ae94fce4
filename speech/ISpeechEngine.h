// The narrow way the speaker reaches a speech engine: load it, say one
// phrase, stop. Everything an engine reports comes back on the UI thread
// through the handlers, never from inside a call.
#pragma once

#include <QString>

#include <functional>

#include "speech/SpokenText.h"

class ISpeechEngine {
public:
    struct Handlers {
        // Once, after Start: whether an engine can speak, and why not.
        std::function<void(bool bOk, const QString& strReason)> onLoaded;
        // The phrase with that id is over: said, failed, or not sayable in
        // its language. A stopped phrase may or may not be reported.
        std::function<void(int nId)> onSaid;
    };

    virtual ~ISpeechEngine() = default;
    virtual void Start(Handlers handlers) = 0;
    // Says the phrase; whatever was being said has been stopped first.
    virtual void Say(int nId, const QString& strText, SpokenLanguage nLanguage) = 0;
    virtual void Stop() = 0;
};
