// Feeds arbitrary bytes, cut into reads chosen by the input itself, through the
// interpreter, and checks that the cut never matters and nothing goes out of range.

#include "protocol/GameMessageInterpreter.h"
#include "tests/protocol/RecordingDoubles.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Require(bool bHolds, const char* pszWhat)
{
    if (!bHolds) {
        std::fprintf(stderr, "invariant broken: %s\n", pszWhat);
        std::abort();
    }
}

class CCheckingBoard : public CRecordingBoard {
public:
    using CRecordingBoard::CRecordingBoard;
    void LightQuadrant(int nIndex) override
    {
        Require(nIndex >= QuadrantNone && nIndex <= QuadrantAll, "quadrant index in 0..5");
        CRecordingBoard::LightQuadrant(nIndex);
    }
};

class CCheckingPlayer : public CRecordingPlayer {
public:
    using CRecordingPlayer::CRecordingPlayer;
    void PlayOnce(int nSoundId) override
    {
        Require(nSoundId == 152 || nSoundId == 160, "one-shot sound is lose or win");
        CRecordingPlayer::PlayOnce(nSoundId);
    }
    void PlayLooping(int nSoundId) override
    {
        Require(nSoundId == 151 || nSoundId == 153 || nSoundId == 154 || nSoundId == 156,
                "looping sound is a colour tone");
        CRecordingPlayer::PlayLooping(nSoundId);
    }
};

struct Rig {
    CallLog log;
    CCheckingBoard board{log};
    CCheckingPlayer player{log};
    IQuadoBoard* pView = &board;
    CGameMessageInterpreter interpreter;

    Rig(bool bHasView, bool bHasPlayer, const bool* pbMute)
    {
        if (!bHasView)
            pView = nullptr;
        interpreter.SetLinks(&pView, pbMute, bHasPlayer ? &player : nullptr);
    }
};

void CheckPendingLine(const CGameMessageInterpreter& interpreter)
{
    const std::wstring& strLine = interpreter.GetPendingLine();
    Require(strLine.size() <= CGameMessageInterpreter::MaxLineLength, "pending line within the cap");
    Require(strLine.find_first_of(std::wstring_view(L"\n\0", 2)) == std::wstring::npos,
            "pending line holds no line feed or zero");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    FuzzedDataProvider input(pData, nSize);
    const uint8_t nFlags = input.ConsumeIntegral<uint8_t>();
    const bool bMute = nFlags & 1;
    const bool bHasView = !(nFlags & 2);
    const bool bHasPlayer = !(nFlags & 4);

    Rig chunked(bHasView, bHasPlayer, &bMute);
    // What the reads deliver up to each one's first zero, as one stream.
    std::wstring strStream;
    std::size_t nFed = 0;
    while (input.remaining_bytes() > 0) {
        const size_t nLength = input.ConsumeIntegralInRange<size_t>(0, 64);
        // Repeats let a short input build lines past the cap.
        const unsigned nRepeat = input.ConsumeBool() ? input.ConsumeIntegralInRange<unsigned>(1, 300) : 1;
        const std::string strBytes = input.ConsumeBytesAsString(nLength);
        std::wstring strChunk;
        for (const char c : strBytes)
            strChunk.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        // Enough to cross the cap a few times; more only slows the search down.
        for (unsigned i = 0; i < nRepeat && nFed < 4 * CGameMessageInterpreter::MaxLineLength; ++i) {
            chunked.interpreter.AssembleLines(strChunk);
            Require(chunked.interpreter.GetPendingLine().size() <= CGameMessageInterpreter::MaxLineLength,
                    "pending line within the cap");
            strStream += std::wstring_view(strChunk).substr(0, strChunk.find(L'\0'));
            nFed += strChunk.size();
        }
        CheckPendingLine(chunked.interpreter);
    }

    Rig whole(bHasView, bHasPlayer, &bMute);
    whole.interpreter.AssembleLines(strStream);
    const CGameMessageInterpreter& a = chunked.interpreter;
    const CGameMessageInterpreter& b = whole.interpreter;
    Require(chunked.log == whole.log, "same calls however the stream is cut");
    Require(a.GetPendingLine() == b.GetPendingLine() && a.IsLineOverLong() == b.IsLineOverLong() &&
                a.IsTonePlaying() == b.IsTonePlaying() && a.IsGameRunning() == b.IsGameRunning() &&
                a.IsMaxLevelKnown() == b.IsMaxLevelKnown() && a.GetMaxLevel() == b.GetMaxLevel(),
            "same state however the stream is cut");
    Require(bHasView || bHasPlayer || chunked.log.empty(), "no calls without links");
    return 0;
}
