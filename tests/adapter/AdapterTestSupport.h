// Shared pieces of the adapter window and end-to-end tests: a frame built on
// the simulated HID backend with message boxes captured and a recording
// sound player, the adapter's wire trace in readable form, and feeding the
// board's bytes one read at a time.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/MainFrame.h"
#include "device/IHidBackend.h"
#include "device/SimulatedAdapter.h"
#include "device/SimulatedHidBackend.h"
#include "drivers/QuadoDravikDriver.h"
#include "drivers/ReceiveThread.h"
#include "platform/DeviceNotifier.h"
#include "platform/MessageBox.h"
#include "tests/device/DeviceTestSupport.h"
#include "tests/support/EventWait.h"
#include "tests/support/MessageBoxCapture.h"
#include "tests/support/RecordingSoundPlayer.h"
#include "tools/common/HidrawInjection.h"

namespace adaptertest {

using Strings = std::vector<std::string>;

// The wire trace in the device tests' readable form.
using ::FormatTransfer;
using ::Wire;
using ::WireOf;

using testsupport::WaitForEvents;

// The log as the user reads it: block ends as line feeds, every other
// character (no-break spaces included) as it is.
inline std::wstring LogText(const CQuadoDravikDriver& dlg)
{
    return dlg.m_reLog.Text().toStdWString();
}

inline std::string Bytes(std::initializer_list<int> bytes)
{
    std::string str;
    for (int n : bytes)
        str.push_back(static_cast<char>(n));
    return str;
}

// A frame on the simulated backend, its adapter window and one adapter.
class AdapterFrameTest : public ::testing::Test {
protected:
    static constexpr const char* AdapterPath = "/dev/hidraw0";
    static constexpr const char* AdapterSerial = "DRAVIK-0001";

    void SetUp() override { SetHidBackend(&m_backend); }

    void TearDown() override
    {
        m_pFrame.reset();
        SetHidBackend(nullptr);
    }

    std::shared_ptr<CSimulatedAdapter> AddAdapter(const std::string& strPath = AdapterPath,
                                                  const std::string& strSerial = AdapterSerial,
                                                  const UartConfig& powerOn = CSimulatedAdapter::DefaultConfig)
    {
        SimulatedDeviceSetup setup;
        setup.strPath = strPath;
        setup.strSerial = strSerial;
        return m_backend.AddAdapter(setup, std::make_shared<CSimulatedAdapter>(powerOn));
    }

    // Builds the frame (which fills the adapter list) and its window.
    CQuadoDravikDriver& MakeFrame()
    {
        m_pFrame = std::make_unique<CMainFrame>(&m_player);
        EXPECT_TRUE(m_pFrame->Create());
        return Dlg();
    }

    CQuadoDravikDriver& Dlg() { return m_pFrame->DravikDriver(); }

    void ClickConnect() { Dlg().m_btnConnect.click(); }

    // Feeds bytes as one read: they are queued as the adapter's reports at
    // once and the test waits until the window has processed them, so the
    // next feed is the next read.
    bool FeedRead(CSimulatedAdapter& adapter, std::string_view bytes)
    {
        const std::shared_ptr<CReceiveThread> pThread = Dlg().ReceiveThread();
        if (!pThread)
            return false;
        const uint64_t nBefore = pThread->GetProcessedChunks();
        adapter.FeedUart(bytes);
        // A link that went down meanwhile will never deliver: no use waiting.
        WaitForEvents([&] { return pThread->GetProcessedChunks() > nBefore || !Dlg().IsConnected(); });
        return pThread->GetProcessedChunks() > nBefore;
    }

    // Raises the hidraw event the system would send for a plug or pull.
    static void Hotplug(HidrawUevent::Action nAction, const std::string& strNode,
                        const std::string& strHidId = "0003:000010C4:00008253")
    {
        InjectHidrawUevent({nAction, strNode, nAction == HidrawUevent::Action::Add ? strHidId : std::string()});
    }

    CSimulatedHidBackend m_backend;
    CMessageBoxCapture m_boxes;
    CRecordingPlayer m_player;
    std::unique_ptr<CMainFrame> m_pFrame;
};

} // namespace adaptertest
