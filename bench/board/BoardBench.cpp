// Costs of the board view's drawing: the colour-keyed copy against a plain
// copy of the same bytes, panel text, and painting 1:1 and scaled.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include <QApplication>
#include <QImage>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "bench/RatioReporter.h"
#include "board/ChildView.h"
#include "board/DrawKeyedBitmap.h"

namespace {

QImage BoardImage()
{
    return LoadBitmapResource(AssetId::BoardNone).convertToFormat(QImage::Format_RGB32);
}

QImage CanvasImage()
{
    return LoadBitmapResource(AssetId::Background).convertToFormat(QImage::Format_RGB32);
}

void BM_DrawKeyedBitmapBoard(benchmark::State& state)
{
    const QImage board = BoardImage();
    QImage canvas = CanvasImage();
    for (auto _ : state) {
        DrawKeyedBitmap(board, canvas, CChildView::BoardLeft, CChildView::BoardTop, qRgb(255, 255, 255));
        benchmark::DoNotOptimize(canvas.constBits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * board.sizeInBytes());
}
BENCHMARK(BM_DrawKeyedBitmapBoard)->Repetitions(5);

// The floor: the same rows copied into the same place with memcpy.
void BM_MemcpyBoardRows(benchmark::State& state)
{
    const QImage board = BoardImage();
    QImage canvas = CanvasImage();
    const size_t nRowBytes = static_cast<size_t>(board.width()) * 4;
    for (auto _ : state) {
        for (int y = 0; y < board.height(); ++y)
            std::memcpy(canvas.scanLine(CChildView::BoardTop + y) + CChildView::BoardLeft * 4, board.constScanLine(y),
                        nRowBytes);
        benchmark::DoNotOptimize(canvas.constBits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * board.sizeInBytes());
}
BENCHMARK(BM_MemcpyBoardRows)->Repetitions(5);

void BM_ShowPanelTextLongest(benchmark::State& state)
{
    CChildView view;
    view.Create(nullptr);
    const std::wstring strText = L"Press button\nto start\n\nDr\u00fccken Sie\nKnopf, um\nanzufangen";
    for (auto _ : state)
        view.ShowPanelText(strText);
}
BENCHMARK(BM_ShowPanelTextLongest)->Unit(benchmark::kMicrosecond);

void PaintInto(benchmark::State& state, QSize size, bool bScaleDown)
{
    CChildView view;
    view.Create(nullptr);
    view.m_bScaleDown = bScaleDown;
    view.resize(size);
    view.LightQuadrant(QuadrantAll);
    QImage target(size, QImage::Format_RGB32);
    for (auto _ : state) {
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_Paint1to1(benchmark::State& state)
{
    PaintInto(state, QSize(1280, 768), false);
}
BENCHMARK(BM_Paint1to1)->Unit(benchmark::kMicrosecond);

void BM_PaintScaled(benchmark::State& state)
{
    PaintInto(state, QSize(1000, 600), true);
}
BENCHMARK(BM_PaintScaled)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // Medians of five repetitions each, so one noisy moment on a shared
    // machine does not decide the figure.
    CRatioReporter reporter({{"DrawKeyedBitmap / memcpy time ratio (goal <= 2)", "BM_DrawKeyedBitmapBoard/repeats:5_median",
                              "BM_MemcpyBoardRows/repeats:5_median"},
                             {"FIGURE P3_blit_ratio", "BM_DrawKeyedBitmapBoard/repeats:5_median",
                              "BM_MemcpyBoardRows/repeats:5_median"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
