// quado-sim without a kernel: its uhid conversation over a socket pair that
// stands in for /dev/uhid (one event per message, as uhid reads and writes),
// and its demo game as the game message interpreter understands it.

#include "device/SimulatedAdapter.h"
#include "protocol/GameMessageInterpreter.h"
#include "protocol/IQuadoBoard.h"
#include "protocol/ISoundPlayer.h"
#include "tools/quado-sim/SimOptions.h"
#include "tools/quado-sim/UartScript.h"
#include "tools/quado-sim/VirtualDravik.h"

#include <gtest/gtest.h>

#include <linux/uhid.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using std::chrono::milliseconds;

class UhidConversation : public ::testing::Test {
protected:
    void SetUp() override
    {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        m_hKernel = fds[1];
        m_pTrace = std::tmpfile();
        m_pAdapter = std::make_unique<CVirtualDravik>(std::make_unique<CSimulatedAdapter>(), m_pTrace, false,
                                                      false);
        UhidIdentity identity;
        identity.strSerial = "SIM-42";
        identity.descriptor = CSimulatedAdapter::ReportDescriptor();
        int nError = 0;
        ASSERT_TRUE(m_pAdapter->Create(fds[0], identity, nError)) << std::strerror(nError);
    }

    void TearDown() override
    {
        m_pAdapter.reset();
        close(m_hKernel);
        std::fclose(m_pTrace);
    }

    uhid_event Receive()
    {
        uhid_event ev {};
        EXPECT_GT(read(m_hKernel, &ev, sizeof ev), 0);
        return ev;
    }

    // The kernel's side of one event, answered by the adapter.
    void Deliver(const uhid_event& ev)
    {
        ASSERT_EQ(write(m_hKernel, &ev, sizeof ev), static_cast<ssize_t>(sizeof ev));
        ASSERT_TRUE(m_pAdapter->HandleEvent());
    }

    uhid_event SetFeature(std::vector<uint8_t> bytes, uint32_t nRequest)
    {
        uhid_event ev {};
        ev.type = UHID_SET_REPORT;
        ev.u.set_report.id = nRequest;
        ev.u.set_report.rnum = bytes[0];
        ev.u.set_report.rtype = UHID_FEATURE_REPORT;
        ev.u.set_report.size = static_cast<uint16_t>(bytes.size());
        std::memcpy(ev.u.set_report.data, bytes.data(), bytes.size());
        Deliver(ev);
        return Receive();
    }

    uhid_event GetFeature(uint8_t nReportId, uint32_t nRequest)
    {
        uhid_event ev {};
        ev.type = UHID_GET_REPORT;
        ev.u.get_report.id = nRequest;
        ev.u.get_report.rnum = nReportId;
        ev.u.get_report.rtype = UHID_FEATURE_REPORT;
        Deliver(ev);
        return Receive();
    }

    void SendPlain(uint32_t nType)
    {
        uhid_event ev {};
        ev.type = nType;
        Deliver(ev);
    }

    std::vector<std::string> TraceLines()
    {
        std::vector<std::string> lines;
        std::rewind(m_pTrace);
        char line[256];
        while (std::fgets(line, sizeof line, m_pTrace)) {
            std::string strLine(line);
            strLine.erase(strLine.find_last_not_of('\n') + 1);
            lines.push_back(strLine);
        }
        return lines;
    }

    int m_hKernel = -1;
    std::FILE* m_pTrace = nullptr;
    std::unique_ptr<CVirtualDravik> m_pAdapter;
};

TEST_F(UhidConversation, TheDeviceIsAnnouncedAsAUsbDravikWithItsSerialAndDescriptor)
{
    const uhid_event ev = Receive();
    ASSERT_EQ(ev.type, UHID_CREATE2);
    EXPECT_EQ(ev.u.create2.bus, 0x03);
    EXPECT_EQ(ev.u.create2.vendor, 0x10C4u);
    EXPECT_EQ(ev.u.create2.product, 0x8253u);
    EXPECT_STREQ(reinterpret_cast<const char*>(ev.u.create2.uniq), "SIM-42");
    const std::vector<uint8_t>& descriptor = CSimulatedAdapter::ReportDescriptor();
    ASSERT_EQ(ev.u.create2.rd_size, descriptor.size());
    EXPECT_TRUE(std::equal(descriptor.begin(), descriptor.end(), ev.u.create2.rd_data));

    m_pAdapter->Destroy();
    EXPECT_EQ(Receive().type, UHID_DESTROY);
}

TEST_F(UhidConversation, FeatureTransfersAreAnsweredByTheAdapterModelAndTraced)
{
    Receive();
    uhid_event reply = SetFeature({0x40, 0x02}, 11);
    EXPECT_EQ(reply.type, UHID_SET_REPORT_REPLY);
    EXPECT_EQ(reply.u.set_report_reply.id, 11u);
    EXPECT_EQ(reply.u.set_report_reply.err, 0);

    reply = GetFeature(0x46, 12);
    ASSERT_EQ(reply.type, UHID_GET_REPORT_REPLY);
    EXPECT_EQ(reply.u.get_report_reply.id, 12u);
    EXPECT_EQ(reply.u.get_report_reply.err, 0);
    ASSERT_EQ(reply.u.get_report_reply.size, 9);
    const uint8_t expected[9] = {0x46, 0x80, 0x25, 0, 0, 0, 0, 8, 0};
    EXPECT_EQ(std::memcmp(reply.u.get_report_reply.data, expected, 9), 0);

    // A transfer the adapter refuses reaches the host as an I/O error.
    reply = SetFeature({0x45, 0x01, 0x00}, 13);
    EXPECT_NE(reply.u.set_report_reply.err, 0);
    reply = GetFeature(0x77, 14);
    EXPECT_NE(reply.u.get_report_reply.err, 0);

    EXPECT_EQ(TraceLines(), (std::vector<std::string> {"set 40 02", "get 46 80 25 00 00 00 00 08 00",
                                                       "set 45 01 00 refused", "get 77 refused"}));
}

TEST_F(UhidConversation, UartBytesFlowOnlyWhileTheHostHoldsTheDeviceWithTheUartOn)
{
    Receive();
    SetFeature({0x45, 0x01}, 1);
    EXPECT_FALSE(m_pAdapter->IsListening()) << "nobody has the node open yet";
    SendPlain(UHID_OPEN);
    EXPECT_TRUE(m_pAdapter->IsListening());

    m_pAdapter->FeedUart("G\r\n");
    const uhid_event ev = Receive();
    ASSERT_EQ(ev.type, UHID_INPUT2);
    ASSERT_EQ(ev.u.input2.size, 65) << "reports travel at the adapter's full input length";
    EXPECT_EQ(ev.u.input2.data[0], 0x83);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ev.u.input2.data + 1), 3), "G\r\n");

    SendPlain(UHID_CLOSE);
    EXPECT_FALSE(m_pAdapter->IsListening());
}

class CRecordingBoard : public IQuadoBoard, public ISoundPlayer {
public:
    void LightQuadrant(int nIndex) override { m_lights.push_back(nIndex); }
    void ShowPanelText(const std::wstring& strText) override { m_panels.push_back(strText); }
    void PlayOnce(int nSoundId) override { m_once.push_back(nSoundId); }
    void PlayLooping(int nSoundId) override { m_looping.push_back(nSoundId); }
    void Stop() override { ++m_nStops; }

    std::vector<int> m_lights;
    std::vector<std::wstring> m_panels;
    std::vector<int> m_once;
    std::vector<int> m_looping;
    int m_nStops = 0;
};

TEST(DemoGame, PlaysAWonALostAndATimedOutRoundTheInterpreterUnderstands)
{
    CRecordingBoard board;
    IQuadoBoard* pView = &board;
    const bool bMute = false;
    CGameMessageInterpreter interpreter;
    interpreter.SetLinks(&pView, &bMute, &board);

    milliseconds total {0};
    for (const UartChunk& chunk : BuildDemoGame()) {
        total += chunk.delay;
        std::wstring text;
        for (char c : chunk.strBytes) {
            if (c != '\r')
                text += static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
        interpreter.AssembleLines(text);
    }

    const auto has = [&](const std::wstring& strText) {
        return std::find(board.m_panels.begin(), board.m_panels.end(), strText) != board.m_panels.end();
    };
    ASSERT_FALSE(board.m_panels.empty());
    EXPECT_EQ(board.m_panels.front(), L"Press button\nto start\n\nDr\u00fccken Sie\nKnopf, um\nanzufangen");
    EXPECT_TRUE(has(L"Level:\n1 of 8\n\nSchwierigkeit:\n1 aus 8"));
    EXPECT_TRUE(has(L"Level:\n8 of 8\n\nSchwierigkeit:\n8 aus 8"));
    EXPECT_TRUE(has(L"You Win!\n\nSie Haben\nGewonnen!"));
    EXPECT_TRUE(has(L"You Lose!\n\nSie Haben\nVerloren!"));
    EXPECT_EQ(board.m_panels.back(), L"Timeout\n\nZeitlimit\n\u00dcberschritten");
    EXPECT_EQ(board.m_once, (std::vector<int> {160, 152, 152})) << "win, lose, lose";
    // Every colour lights and plays during the games; the board goes dark after each.
    for (int nQuadrant = QuadrantGreen; nQuadrant <= QuadrantYellow; ++nQuadrant)
        EXPECT_NE(std::count(board.m_lights.begin(), board.m_lights.end(), nQuadrant), 0) << nQuadrant;
    EXPECT_GT(board.m_looping.size(), 36u);
    EXPECT_EQ(board.m_lights.back(), QuadrantNone);
    EXPECT_FALSE(interpreter.IsGameRunning());

    // A human pace: about a minute, and --speed shortens it in proportion.
    EXPECT_GT(total, milliseconds(40000));
    EXPECT_LT(total, milliseconds(150000));
    milliseconds fast {0};
    for (const UartChunk& chunk : BuildDemoGame(10.0))
        fast += chunk.delay;
    EXPECT_NEAR(static_cast<double>(fast.count()), total.count() / 10.0, 200.0);
}

TEST(FileInput, EachLineIsOneChunkAndTheIntervalSeparatesThem)
{
    const UartScript script = SplitIntoLines("New\r\nG\n\nOff", milliseconds(300));
    ASSERT_EQ(script.size(), 4u);
    EXPECT_EQ(script[0].strBytes, "New\r\n");
    EXPECT_EQ(script[0].delay, milliseconds(0));
    EXPECT_EQ(script[1].strBytes, "G\n");
    EXPECT_EQ(script[2].strBytes, "\n");
    EXPECT_EQ(script[3].strBytes, "Off") << "a last line without line feed still goes out";
    EXPECT_EQ(script[3].delay, milliseconds(300));
}

TEST(UsbIdsOption, TakesHexWithOrWithoutPrefixAndRefusesJunk)
{
    const auto parse = [](std::string strIds, SimOptions& options, std::string& strError) {
        std::string strProgram = "quado-sim", strOption = "--usb-ids";
        char* argv[] = {strProgram.data(), strOption.data(), strIds.data()};
        return ParseSimOptions(3, argv, options, strError);
    };
    const struct {
        const char* pIds;
        uint16_t nVendor, nProduct;
    } good[] = {
        {"046d:c52b", 0x046D, 0xC52B}, {"0x10:0X8253", 0x0010, 0x8253}, {"0x10C4:0xffff", 0x10C4, 0xFFFF},
        {"1:0", 0x0001, 0x0000},
    };
    for (const auto& c : good) {
        SCOPED_TRACE(c.pIds);
        SimOptions options;
        std::string strError;
        ASSERT_TRUE(parse(c.pIds, options, strError)) << strError;
        EXPECT_EQ(options.nVendorId, c.nVendor);
        EXPECT_EQ(options.nProductId, c.nProduct);
    }
    // Folding case by setting bit 5 would turn the control characters 0x10-0x19 into digits.
    for (const char* pIds : {"0x:8253", "10c4", "10c4:", ":8253", "10c45:8253", "0x10c45:8253", "10g4:8253",
                             "10c4:82 3", "\x10\x11:8253", "-1:8253", "10c4:8253:1"}) {
        SCOPED_TRACE(pIds);
        SimOptions options;
        std::string strError;
        EXPECT_FALSE(parse(pIds, options, strError));
        EXPECT_NE(strError.find("--usb-ids"), std::string::npos) << strError;
        EXPECT_NE(strError.find(pIds), std::string::npos) << "names what it refused: " << strError;
    }
}

} // namespace
