// Fit to Screen on a 3840 x 2160 full screen: what lighting a quadrant and
// the repaint that shows it cost, and how much more memory the sharp big
// picture holds than the same full screen without Fit to Screen.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QProcess>
#include <QTest>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "tests/support/RecordingSoundPlayer.h"

namespace {

constexpr int Repetitions = 5;
constexpr int LightsPerRepetition = 60;
constexpr QSize ScreenSize(3840, 2160);

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long ResidentKib()
{
    std::ifstream status("/proc/self/status");
    std::string strLine;
    while (std::getline(status, strLine))
        if (strLine.rfind("VmRSS:", 0) == 0)
            return std::strtol(strLine.c_str() + 6, nullptr, 10);
    return -1;
}

// A full-screen frame on the 4K screen, Fit to Screen as asked, shown and
// painted once with every quadrant lit in turn and the panel written, so
// that whatever the view keeps for that state is there.
bool MakeFullScreenFrame(CMainFrame& frame, bool bFit)
{
    if (!frame.Create())
        return false;
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame))
        return false;
    frame.ToggleFullScreen();
    if (bFit)
        frame.OnCommand(CommandId::FitToScreen);
    CChildView& view = frame.View();
    for (int i = 0; i < 200 && view.size() != ScreenSize; ++i)
        QTest::qWait(10);
    if (view.size() != ScreenSize)
        return false;
    view.ShowPanelText(L"Level 12\n\nStufe 12");
    for (int nIndex : {QuadrantGreen, QuadrantRed, QuadrantBlue, QuadrantYellow, QuadrantAll, QuadrantNone}) {
        view.LightQuadrant(nIndex);
        view.repaint();
    }
    return true;
}

int RunLightBench()
{
    CSilentPlayer player;
    CMainFrame frame(&player);
    if (!MakeFullScreenFrame(frame, true)) {
        std::fprintf(stderr, "bench_board_fit: no 3840x2160 full-screen view\n");
        return 1;
    }
    CChildView& view = frame.View();
    // The part of the view a light asks to repaint: the board's square in
    // the 3600 x 2160 picture at x = 120, and a little around it.
    const double dScale = 3600.0 / CChildView::CanvasWidth;
    const QRect rcBoard = QRect(int(120 + CChildView::BoardLeft * dScale), int(CChildView::BoardTop * dScale),
                                int(512 * dScale) + 1, int(512 * dScale) + 1).adjusted(-2, -2, 2, 2);
    std::vector<double> vecMs;
    for (int nRep = 0; nRep < Repetitions; ++nRep) {
        const auto tStart = std::chrono::steady_clock::now();
        for (int i = 0; i < LightsPerRepetition; ++i) {
            view.LightQuadrant(i % 2 ? QuadrantNone : 1 + (i / 2) % 5);
            view.repaint(rcBoard);
        }
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - tStart;
        vecMs.push_back(elapsed.count() / LightsPerRepetition);
        std::printf("LightQuadrant + repaint, 3840x2160 Fit to Screen, repetition %d: %.3f ms\n", nRep + 1,
                    vecMs.back());
    }
    std::printf("FIGURE P8_fit_light_ms %.3f\n", Median(vecMs));
    return 0;
}

// One idle frame in a process of its own, so that the two states never share
// a heap; prints its resident size in KiB.
int RunRssChild(bool bFit)
{
    CSilentPlayer player;
    CMainFrame frame(&player);
    if (!MakeFullScreenFrame(frame, bFit))
        return 1;
    QTest::qWait(300);
    std::printf("%ld\n", ResidentKib());
    return 0;
}

int RunRssBench(const char* pszSelf)
{
    std::vector<double> vecRatios;
    for (int nRep = 0; nRep < 3; ++nRep) {
        long nKib[2] = {0, 0};
        for (int nFit = 0; nFit < 2; ++nFit) {
            QProcess child;
            child.start(QString::fromLocal8Bit(pszSelf),
                        {QStringLiteral("--rss-child"), nFit ? QStringLiteral("fit") : QStringLiteral("plain")});
            if (!child.waitForFinished(60000) || child.exitCode() != 0) {
                std::fprintf(stderr, "bench_board_fit: the memory probe did not run\n");
                return 1;
            }
            nKib[nFit] = std::strtol(child.readAllStandardOutput().constData(), nullptr, 10);
        }
        std::printf("idle RSS full screen 3840x2160: %ld KiB without Fit, %ld KiB with Fit to Screen\n", nKib[0],
                    nKib[1]);
        if (nKib[0] > 0)
            vecRatios.push_back(double(nKib[1]) / nKib[0]);
    }
    if (vecRatios.empty())
        return 1;
    std::printf("FIGURE P8_fit_rss_ratio %.2f\n", Median(vecRatios));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" QUADO_BENCH_SCREEN);
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--rss-child") == 0)
        return RunRssChild(std::strcmp(argv[2], "fit") == 0);
    const int nLight = RunLightBench();
    const int nRss = RunRssBench(argv[0]);
    return nLight ? nLight : nRss;
}
