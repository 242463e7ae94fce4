// The adapter session without widgets: the connect sequence and its pauses on
// the wire, what the adapter queued before the flush never reaching the
// board, the settings put back at disconnect, and a failed connect holding
// what it reached until Disconnect lets go of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/Dravik.h"
#include "drivers/AdapterSession.h"
#include "tests/adapter/TaskLoop.h"
#include "tests/device/DeviceTestSupport.h"
#include "tests/support/WaitFor.h"

namespace {

using Strings = std::vector<std::string>;
using testsupport::WaitFor;

constexpr char AdapterPath[] = "/dev/hidraw0";
// Found at 9600 8N1 with RTS/CTS: run without, put back with.
constexpr UartConfig Found9600RtsCts = {9600, 0, 1, 8, 0};

class AdapterSession : public SimulatedBackendTest {
protected:
    void SetUp() override
    {
        SimulatedBackendTest::SetUp();
        m_pAdapter = m_backend.AddAdapter(AdapterPath, "SESSION");
        m_pAdapter->SetUartConfig(Found9600RtsCts);
    }

    void TearDown() override
    {
        // The session's receive thread hands chunks to the loop: stop it while
        // the loop still runs.
        m_pSession.reset();
        SimulatedBackendTest::TearDown();
    }

    // The wire as it stands, with "pause N" where the session paused.
    Strings Trace() const { return m_trace; }

    CAdapterSession& MakeSession(CAdapterSession::Allocator allocate = {})
    {
        m_pSession = std::make_unique<CAdapterSession>(m_dravik, std::move(allocate), [this](int nMilliseconds) {
            TakeWire();
            m_trace.push_back("pause " + std::to_string(nMilliseconds));
            if (m_onPause)
                m_onPause();
        });
        return *m_pSession;
    }

    CAdapterSession::ConnectResult Connect(std::function<void()> onFlushed = {})
    {
        const CAdapterSession::ConnectResult result = m_pSession->Connect(
            0, [this](std::function<void()> task) { m_loop.Post(std::move(task)); },
            [this](std::wstring_view chunk) { m_chunks.append(chunk); }, [&] {
                TakeWire();
                m_trace.push_back("flushed");
                if (onFlushed)
                    onFlushed();
            });
        TakeWire();
        return result;
    }

    // Moves the adapter's trace so far onto m_trace.
    void TakeWire()
    {
        for (const std::string& str : WireOf(*m_pAdapter))
            m_trace.push_back(str);
        m_pAdapter->ClearTrace();
    }

    std::wstring Received()
    {
        return m_loop.RunSync([this] { return m_chunks; });
    }

    std::shared_ptr<CSimulatedAdapter> m_pAdapter;
    CDravik m_dravik;
    CTaskLoop m_loop;
    std::wstring m_chunks; // on the loop's thread only
    Strings m_trace;
    std::function<void()> m_onPause;
    std::unique_ptr<CAdapterSession> m_pSession;
};

const Strings Handshake = Wire({"S 40 02", "G 42 00", "S 41 00", "G 42 01"});
const Strings DisconnectWire = Wire({"S 45 00", "S 46 80 25 00 00 00 01 08 00", "S 40 02", "G 42 00"});

} // namespace

TEST_F(AdapterSession, ConnectPausesAroundTheFirst4BAndDisconnectPutsTheFoundSettingsBack)
{
    CAdapterSession& session = MakeSession();
    ASSERT_EQ(Connect(), CAdapterSession::ConnectResult::Connected);
    EXPECT_EQ(Trace(), Concat({Handshake, Wire({"G 46 80 25 00 00 00 01 08 00", // found, with RTS/CTS
                                                "S 46 80 25 00 00 00 00 08 00", // run without
                                                "S 45 01", "pause 50", "S 4B FB 04", "pause 50", "flushed",
                                                "S 4B 04 04", "S 49 00 00 00 00",
                                                "S 46 00 C2 01 00 00 00 08 00"})}));
    EXPECT_TRUE(session.IsConnected());
    EXPECT_TRUE(session.HasSavedUartConfig());
    EXPECT_EQ(session.SavedUartConfig(), Found9600RtsCts);
    EXPECT_EQ(m_pAdapter->GetUartConfig(), CAdapterSession::DefaultUart);
    ASSERT_NE(ReceiveBuffer, nullptr);
    EXPECT_EQ(ReceiveBufferSize, m_dravik.ReceiveCapacity());
    ASSERT_TRUE(session.ReceiveThread() && session.ReceiveThread()->IsRunning());

    m_pAdapter->FeedUart("Level 1 -\r\n");
    ASSERT_TRUE(WaitFor([&] { return Received() == L"Level 1 -\r\n"; }));

    m_trace.clear();
    session.Disconnect();
    TakeWire();
    EXPECT_EQ(Trace(), DisconnectWire);
    EXPECT_FALSE(session.IsConnected());
    EXPECT_FALSE(session.ReceiveThread());
    EXPECT_EQ(ReceiveBuffer, nullptr);
    EXPECT_EQ(ReceiveBufferSize, 0u);
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath));

    // Nothing left to do is fine, and goes nowhere near the adapter.
    m_trace.clear();
    session.Disconnect();
    TakeWire();
    EXPECT_TRUE(Trace().empty());
}

TEST_F(AdapterSession, WhatTheAdapterQueuedBeforeTheFlushNeverReachesTheBoard)
{
    MakeSession();
    // Bytes that arrive during either pause are the adapter's stale input;
    // bytes after the flush are the board's.
    m_onPause = [this] { m_pAdapter->FeedUart("stale"); };
    ASSERT_EQ(Connect([this] { m_pAdapter->FeedUart("fresh"); }), CAdapterSession::ConnectResult::Connected);
    m_pAdapter->FeedUart(" and more");
    ASSERT_TRUE(WaitFor([&] { return Received().size() >= std::wstring(L"fresh and more").size(); }));
    EXPECT_EQ(Received(), L"fresh and more");
}

TEST_F(AdapterSession, AFailedConnectHoldsWhatItReachedUntilDisconnect)
{
    // The UART refuses: the adapter stays open, with nothing started.
    CAdapterSession& session = MakeSession();
    m_pAdapter->FailNext(CSimulatedAdapter::Direction::Set, 0x45);
    EXPECT_EQ(Connect(), CAdapterSession::ConnectResult::EnableUartFailed);
    EXPECT_TRUE(session.IsConnected());
    EXPECT_FALSE(session.ReceiveThread());
    EXPECT_EQ(ReceiveBuffer, nullptr);
    m_trace.clear();
    session.Disconnect();
    TakeWire();
    EXPECT_EQ(Trace(), Wire({"S 46 80 25 00 00 00 01 08 00", "S 40 02", "G 42 00"}))
        << "the UART never came on; the settings it found go back";

    // No receive buffer: the flush has run; nothing reads.
    CAdapterSession& starved = MakeSession([](uint32_t) { return nullptr; });
    EXPECT_EQ(Connect(), CAdapterSession::ConnectResult::AllocateFailed);
    EXPECT_TRUE(starved.IsConnected());
    EXPECT_FALSE(starved.ReceiveThread());
    EXPECT_EQ(ReceiveBuffer, nullptr);
    EXPECT_EQ(ReceiveBufferSize, 0u);
    starved.Disconnect();
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath));

    // The adapter's first request is lost: it is left open without settings
    // of this attempt, and closed with its handshake alone, none written back.
    CAdapterSession& refused = MakeSession();
    m_pAdapter->FailNext(CSimulatedAdapter::Direction::Set, 0x40);
    EXPECT_EQ(Connect(), CAdapterSession::ConnectResult::OpenFailed);
    EXPECT_FALSE(refused.HasSavedUartConfig());
    m_trace.clear();
    refused.Disconnect();
    TakeWire();
    EXPECT_EQ(Trace(), Wire({"S 40 02", "G 42 00"}));
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath));
}

TEST_F(AdapterSession, DestroyingTheSessionEndsTheConnectionCleanly)
{
    MakeSession();
    ASSERT_EQ(Connect(), CAdapterSession::ConnectResult::Connected);
    m_trace.clear();
    m_pSession.reset();
    TakeWire();
    EXPECT_EQ(Trace(), DisconnectWire);
    EXPECT_EQ(ReceiveBuffer, nullptr);
    EXPECT_FALSE(m_backend.IsHeld(AdapterPath));
}
