// Throughput of line assembly and interpretation. The board's UART delivers at
// most 11,520 characters a second; anything far above that leaves the UI thread idle.

#include "protocol/GameMessageInterpreter.h"
#include "protocol/IQuadoBoard.h"
#include "protocol/ISoundPlayer.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

class CNullBoard : public IQuadoBoard {
public:
    void LightQuadrant(int nIndex) override { benchmark::DoNotOptimize(nIndex); }
    void ShowPanelText(const std::wstring& strText) override { benchmark::DoNotOptimize(strText.data()); }
};

class CNullPlayer : public ISoundPlayer {
public:
    void PlayOnce(int nSoundId) override { benchmark::DoNotOptimize(nSoundId); }
    void PlayLooping(int nSoundId) override { benchmark::DoNotOptimize(nSoundId); }
    void Stop() override {}
};

void RunStream(benchmark::State& state, const std::wstring& strStream, std::size_t nChunk)
{
    CNullBoard board;
    CNullPlayer player;
    IQuadoBoard* pView = &board;
    const bool bMute = false;
    CGameMessageInterpreter interpreter;
    interpreter.SetLinks(&pView, &bMute, &player);
    for (auto _ : state) {
        for (std::size_t nFrom = 0; nFrom < strStream.size(); nFrom += nChunk)
            interpreter.AssembleLines(std::wstring_view(strStream).substr(nFrom, nChunk));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * strStream.size()));
}

// One round of a game, cut the way the adapter's reports cut it (1 to 64 bytes).
void BM_GameRound(benchmark::State& state)
{
    std::wstring strRound = L"Press\nNew\nMAX_LEVEL=12\n";
    for (int nLevel = 1; nLevel <= 12; ++nLevel) {
        strRound += L"Level " + std::to_wstring(nLevel) + L" -\n";
        for (int i = 0; i < nLevel; ++i)
            strRound += std::wstring(1, L"BGRY"[i % 4]) + L"\nOff\n";
    }
    strRound += L"Congratulations!\n";
    RunStream(state, strRound, static_cast<std::size_t>(state.range(0)));
}
BENCHMARK(BM_GameRound)->Arg(3)->Arg(64);

// A board that never sends a line feed: the cap keeps each read's cost flat.
void BM_EndlessLine(benchmark::State& state)
{
    RunStream(state, std::wstring(64 * 1024, L'x'), 64);
}
BENCHMARK(BM_EndlessLine);

} // namespace

BENCHMARK_MAIN();
