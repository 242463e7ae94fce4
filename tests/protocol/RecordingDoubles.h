// Board and sound player doubles that write every call, in order, into one
// shared log, so a test sees how board and sound steps interleave.
// Used by the protocol tests and the protocol fuzzer.
#pragma once

#include "protocol/IQuadoBoard.h"
#include "protocol/ISoundPlayer.h"

#include <ostream>
#include <string>
#include <vector>

struct RecordedCall {
    enum Kind { Light, Panel, PlayOnce, PlayLooping, Stop };
    Kind nKind;
    int nValue = 0;
    std::wstring strText;

    bool operator==(const RecordedCall&) const = default;
};

inline void PrintTo(const RecordedCall& call, std::ostream* pOut)
{
    static const char* const Names[] = {"Light", "Panel", "PlayOnce", "PlayLooping", "Stop"};
    *pOut << Names[call.nKind] << "(" << call.nValue;
    if (call.nKind == RecordedCall::Panel) {
        *pOut << ", \"";
        for (const wchar_t c : call.strText) {
            if (c == L'\n')
                *pOut << "\\n";
            else if (c >= 0x20 && c < 0x7F)
                *pOut << static_cast<char>(c);
            else
                *pOut << "\\u" << std::hex << static_cast<unsigned>(c) << std::dec;
        }
        *pOut << "\"";
    }
    *pOut << ")";
}

using CallLog = std::vector<RecordedCall>;

class CRecordingBoard : public IQuadoBoard {
public:
    explicit CRecordingBoard(CallLog& log) : m_log(log) {}
    void LightQuadrant(int nIndex) override { m_log.push_back({RecordedCall::Light, nIndex, {}}); }
    void ShowPanelText(const std::wstring& strText) override
    {
        m_log.push_back({RecordedCall::Panel, 0, strText});
    }

private:
    CallLog& m_log;
};

class CRecordingPlayer : public ISoundPlayer {
public:
    explicit CRecordingPlayer(CallLog& log) : m_log(log) {}
    void PlayOnce(int nSoundId) override { m_log.push_back({RecordedCall::PlayOnce, nSoundId, {}}); }
    void PlayLooping(int nSoundId) override
    {
        m_log.push_back({RecordedCall::PlayLooping, nSoundId, {}});
    }
    void Stop() override { m_log.push_back({RecordedCall::Stop, 0, {}}); }

private:
    CallLog& m_log;
};
