// The demo's board at the adapter's UART: it talks only while Quado has the
// UART on, holds its game while the UART is off, and carries on after.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <memory>
#include <mutex>
#include <string>

#include "device/DravikReports.h"
#include "device/SimulatedAdapter.h"
#include "tools/common/SimulatedGameBoard.h"
#include "tools/quado-demo/DemoBoard.h"

namespace {

constexpr uint32_t Seed = 5;
constexpr double Speed = 20.0;

void SwitchUart(CSimulatedAdapter& adapter, bool bOn)
{
    const uint8_t report[] = {DravikReports::UartEnable, static_cast<uint8_t>(bOn ? 1 : 0)};
    adapter.SetFeature(report, sizeof report);
}

// Runs the event loop for about nMs.
void Spin(int nMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!elapsed.hasExpired(nMs))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

TEST(DemoBoard, SpeaksOnlyWhileConnectedAndResumesWhereItStopped)
{
    auto pAdapter = std::make_shared<CSimulatedAdapter>();
    std::mutex mutex;
    std::string strHeard;
    pAdapter->SetInputSink([&](const uint8_t* pReport, size_t) {
        std::lock_guard lock(mutex);
        strHeard.append(reinterpret_cast<const char*>(pReport + 1), pReport[0] - DravikReports::UartDataBase);
    });
    CDemoBoard board(pAdapter, Seed, Speed);
    board.Start();

    Spin(300);
    EXPECT_EQ(strHeard, "");
    EXPECT_EQ(pAdapter->GetLostUartBytes(), 0u);

    SwitchUart(*pAdapter, true);
    Spin(1500);
    SwitchUart(*pAdapter, false);
    std::string strFirst;
    {
        std::lock_guard lock(mutex);
        strFirst = strHeard;
    }
    ASSERT_FALSE(strFirst.empty());
    Spin(400);
    EXPECT_EQ(strHeard, strFirst);

    SwitchUart(*pAdapter, true);
    Spin(1500);
    SwitchUart(*pAdapter, false);

    // Nothing was lost or repeated: what arrived is the board's own stream.
    CSimulatedGameBoard expected(Seed, Speed);
    std::string strExpected;
    while (strExpected.size() < strHeard.size())
        strExpected += expected.Next().strBytes;
    EXPECT_EQ(strHeard, strExpected.substr(0, strHeard.size()));
    EXPECT_GT(strHeard.size(), strFirst.size());
    EXPECT_EQ(pAdapter->GetLostUartBytes(), 0u);
    EXPECT_EQ(strHeard.substr(0, 14), "Press button\r\n");
}
