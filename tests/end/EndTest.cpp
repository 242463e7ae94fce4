// Whatever ends Quado ends it the same way: quado-demo stopped by SIGTERM,
// SIGINT and SIGHUP in the middle of a game, alone and with a real broker and
// the metrics file, keeps the game as abandoned (cause closing), tells the
// venue the game's end and the adapter's before "offline", leaves the records
// file whole with no side file, and exits with 0. A broker that never answers
// a connect and a records file another program holds do not hold the end, and
// it says so. The records store closes on its own thread: turning records off
// returns while a locked file still waits, and every request is answered.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <memory>

#include "fleet/StopSignals.h"
#include "records/RecordStore.h"
#include "tests/support/NeedTool.h"
#include "tests/end/EndTestSupport.h"
#include "tests/fleet/FleetTestSupport.h"
#include "tests/records/RecordsTestSupport.h"

using namespace endtest;
using namespace fleettest;
using namespace recordstest;

namespace {

constexpr char Base[] = "quado/end1";

std::string Topic(const char* pszLast)
{
    return std::string(Base) + "/" + pszLast;
}

bool NeedMosquitto()
{
    if (!MosquittoProgram().isEmpty())
        return true;
    if (qgetenv("CI") == "true")
        ADD_FAILURE() << "mosquitto (Debian package mosquitto) is missing under CI";
    return false;
}

QString HeldGameRow()
{
    return QStringLiteral("abandoned|closing|%1").arg(HeldLevel);
}

// The records file as the tests read it: no side file first, then its rows.
QStringList RowsOfCleanFile(const QString& strPath)
{
    EXPECT_EQ(SideFiles(strPath), QStringList()) << "the file was not closed cleanly";
    CFileReader file(strPath, "end-reader");
    EXPECT_TRUE(file.m_bOpen);
    return file.Rows(QStringLiteral("outcome, cause, level_reached"));
}

class OrderlyEnd : public ::testing::Test {
protected:
    QString RecordsPath() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }
    QString MetricsPath() const { return m_dir.filePath(QStringLiteral("quado.prom")); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(OrderlyEnd, EachStopSignalMidGameKeepsTheGameAsAbandonedAndClosesTheFileWithoutAnyVenueOption)
{
    for (const int nSignal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(nSignal));
        QFile::remove(RecordsPath());
        CHeldGameDemo demo;
        ASSERT_TRUE(demo.Start({QStringLiteral("--records"), RecordsPath()}));
        ASSERT_TRUE(demo.WaitForHeldGame()) << demo.Stderr().toStdString();
        demo.Signal(nSignal);
        EXPECT_EQ(demo.WaitForEnd(), 0) << demo.Stderr().toStdString();
        const QStringList rows = RowsOfCleanFile(RecordsPath());
        ASSERT_FALSE(rows.isEmpty());
        EXPECT_EQ(rows.last(), HeldGameRow()) << rows.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(rows.count(HeldGameRow()), 1);
    }
}

TEST_F(OrderlyEnd, TheVenueHearsTheGameAndTheAdapterEndBeforeOfflineAndTheLastMetricsAreTrue)
{
    QUADO_NEED_TOOL(!NeedMosquitto(), "mosquitto (Debian package mosquitto)");
    CBroker broker;
    ASSERT_TRUE(broker.Start());
    CSubscriber subscriber(broker.Port(), std::string(Base) + "/#");
    ASSERT_TRUE(subscriber.WaitConnected());

    CHeldGameDemo demo;
    ASSERT_TRUE(demo.Start({"--records", RecordsPath(), "--metrics-file", MetricsPath(), "--mqtt", broker.Url(),
                            "--mqtt-id", "end1"}));
    ASSERT_TRUE(demo.WaitForHeldGame()) << demo.Stderr().toStdString();
    // The broker has seen the game running: the end must change that.
    ASSERT_TRUE(subscriber.WaitFor(Topic("state"), [](const std::string& s) {
        return Json(s).value("game_running").toBool() && Json(s).value("connected").toBool();
    }));
    const size_t nFrom = subscriber.Count();
    demo.Signal(SIGTERM);
    EXPECT_EQ(demo.WaitForEnd(), 0) << demo.Stderr().toStdString();
    ASSERT_TRUE(subscriber.WaitFor(Topic("availability"), [](const std::string& s) { return s == "offline"; }, nFrom));

    // In the order the broker passed them on.
    std::vector<std::string> order;
    QJsonObject gameEnded;
    QJsonObject disconnected;
    QJsonObject lastState;
    const std::vector<Received> messages = subscriber.Messages();
    for (size_t i = nFrom; i < messages.size(); ++i) {
        const Received& message = messages[i];
        if (message.strTopic == Topic("event")) {
            const QJsonObject event = Json(message.strPayload);
            const std::string strEvent = event.value("event").toString().toStdString();
            order.push_back(strEvent);
            if (strEvent == "game_ended")
                gameEnded = event;
            if (strEvent == "disconnected")
                disconnected = event;
        } else if (message.strTopic == Topic("state")) {
            lastState = Json(message.strPayload);
            order.push_back("state");
        } else if (message.strTopic == Topic("availability")) {
            order.push_back(message.strPayload);
        }
    }
    std::string strOrder;
    for (const std::string& str : order)
        strOrder += str + " ";
    SCOPED_TRACE("after the signal: " + strOrder + "\nstderr: " + demo.Stderr().toStdString());
    ASSERT_GE(order.size(), 3u);
    const auto at = [&](const std::string& str) { return std::find(order.begin(), order.end(), str) - order.begin(); };
    EXPECT_LT(at("game_ended"), at("disconnected"));
    EXPECT_LT(at("disconnected"), at("offline"));
    EXPECT_EQ(order.back(), "offline");
    EXPECT_EQ(gameEnded.value("outcome").toString(), "abandoned");
    EXPECT_EQ(gameEnded.value("cause").toString(), "closing");
    EXPECT_EQ(disconnected.value("reason").toString(), "closing");
    // The retained state no longer says connected or playing.
    EXPECT_FALSE(lastState.isEmpty());
    EXPECT_FALSE(lastState.value("connected").toBool(true));
    EXPECT_FALSE(lastState.value("game_running").toBool(true));

    QFile metrics(MetricsPath());
    ASSERT_TRUE(metrics.open(QIODevice::ReadOnly));
    const QByteArray text = metrics.readAll();
    EXPECT_TRUE(text.contains("\nquado_connected 0\n")) << text.constData();
    EXPECT_TRUE(text.contains("{outcome=\"abandoned\"} 1\n")) << text.constData();

    const QStringList rows = RowsOfCleanFile(RecordsPath());
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.last(), HeldGameRow());
}

TEST_F(OrderlyEnd, ABrokerWhoseConnectNeverEndsDoesNotHoldTheEndAndItIsSaid)
{
    CDeafListener deaf;
    ASSERT_NE(deaf.Port(), 0);
    CHeldGameDemo demo;
    ASSERT_TRUE(demo.Start({"--records", RecordsPath(), "--mqtt",
                            QStringLiteral("mqtt://127.0.0.1:%1").arg(deaf.Port()), "--mqtt-id", "end1"}));
    ASSERT_TRUE(demo.WaitForHeldGame()) << demo.Stderr().toStdString();
    demo.Signal(SIGTERM);
    EXPECT_EQ(demo.WaitForEnd(), 0) << demo.Stderr().toStdString();
    EXPECT_TRUE(demo.Stderr().contains("did not end within")) << demo.Stderr().toStdString();
    const QStringList rows = RowsOfCleanFile(RecordsPath());
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows.last(), HeldGameRow());
}

TEST_F(OrderlyEnd, ARecordsFileAnotherProgramHoldsDoesNotHoldTheEndAndWhatWasNotWrittenIsSaid)
{
    {
        CRecordStore store(RecordsPath());
        ASSERT_TRUE(AddAndWait(store, {MakeGame(Today(9), 30, GameEndCause::Congrat, L"5")}));
    }
    CWriteLock lock(RecordsPath());
    ASSERT_TRUE(lock.IsHeld());
    CHeldGameDemo demo;
    ASSERT_TRUE(demo.Start({"--records", RecordsPath()}));
    ASSERT_TRUE(demo.WaitForHeldGame()) << demo.Stderr().toStdString();
    demo.Signal(SIGTERM);
    EXPECT_EQ(demo.WaitForEnd(), 0) << demo.Stderr().toStdString();
    const QString strErr = demo.Stderr();
    // Either the bounded wait ran out, or the store gave up on the lock by
    // itself (a file at rest in rollback-journal mode is refused at once):
    // both must say what was lost.
    EXPECT_TRUE(strErr.contains("1 game(s) not written")) << strErr.toStdString();
    lock.Release();
    CFileReader file(RecordsPath(), "end-reader");
    EXPECT_EQ(file.Pragma("integrity_check"), "ok");
    EXPECT_EQ(file.Rows(QStringLiteral("outcome, cause")), QStringList{"won|congrat"});
}

TEST(StopSignalsEnd, TheFirstSignalMakesTheNextOneEndTheProgramAtOnceAndKeepsErrno)
{
    CStopSignals stopSignals;
    int nStops = 0;
    QObject::connect(&stopSignals, &CStopSignals::StopRequested, [&nStops] { ++nStops; });
    struct sigaction armed {};
    sigaction(SIGTERM, nullptr, &armed);
    ASSERT_NE(armed.sa_handler, SIG_DFL);

    errno = EDOM;
    raise(SIGTERM);
    EXPECT_EQ(errno, EDOM);
    // Before the UI thread has heard of it: a second signal now, while the
    // end may be busy, is not queued behind it.
    for (const int nSignal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction now {};
        sigaction(nSignal, nullptr, &now);
        EXPECT_TRUE(now.sa_handler == SIG_DFL || now.sa_handler == SIG_IGN) << strsignal(nSignal);
    }
    ASSERT_TRUE(WaitForEvents([&] { return nStops > 0; }));
    EXPECT_EQ(nStops, 1);
}

namespace {

class RecordsClosing : public ::testing::Test {
protected:
    void SetUp() override
    {
        CRecordStore store(Path());
        ASSERT_TRUE(AddAndWait(store, {MakeGame(Today(9), 30, GameEndCause::Congrat, L"5")}));
    }
    void TearDown() override
    {
        m_pLock.reset();
        // Nothing of a test is left writing into the next one.
        EXPECT_TRUE(WaitForEvents([] { return CRecordStore::ClosingCount() == 0; }));
    }

    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }
    QStringList Rows()
    {
        CFileReader file(Path(), "closing-reader");
        return file.Rows(QStringLiteral("outcome, level_reached"));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CWriteLock> m_pLock;
};

} // namespace

TEST_F(RecordsClosing, TurningOffReturnsWhileALockedFileStillWaitsAndTheGameIsWrittenOnceItIsFree)
{
    m_pLock = std::make_unique<CWriteLock>(Path());
    ASSERT_TRUE(m_pLock->IsHeld());
    auto pStore = std::make_unique<CRecordStore>(Path());
    ASSERT_TRUE(WaitForEvents([&] { return pStore->IsStarted(); }));
    pStore->Add(MakeGame(Today(10), 40, GameEndCause::Incorrect, L"3"));
    CRecordStore::CloseLater(std::move(pStore));
    // Returned with the game still unwritten: the lock holds it back.
    EXPECT_EQ(CRecordStore::ClosingCount(), 1);
    EXPECT_EQ(Rows(), QStringList{"won|5"});

    m_pLock->Release();
    ASSERT_TRUE(WaitForEvents([] { return CRecordStore::ClosingCount() == 0; }));
    EXPECT_EQ(Rows(), (QStringList{"won|5", "lost|3"}));
}

TEST_F(RecordsClosing, AnExportStillWaitingWhenTheStoreClosesIsAnswered)
{
    m_pLock = std::make_unique<CWriteLock>(Path());
    auto pStore = std::make_unique<CRecordStore>(Path());
    ASSERT_TRUE(WaitForEvents([&] { return pStore->IsStarted(); }));
    std::optional<std::pair<bool, QString>> answer;
    QObject::connect(pStore.get(), &CRecordStore::ExportDone,
                     [&answer](bool bOk, const QString& strError) { answer = std::make_pair(bOk, strError); });
    // The game keeps the thread in a write the lock holds back; the export
    // waits behind it when the close comes.
    pStore->Add(MakeGame(Today(10), 40, GameEndCause::Incorrect, L"3"));
    pStore->Export(m_dir.filePath(QStringLiteral("out.csv")), std::nullopt);
    CRecordStore::CloseLater(std::move(pStore));
    m_pLock->Release();
    ASSERT_TRUE(WaitForEvents([&] { return answer.has_value(); }));
    if (!answer->first)
        EXPECT_EQ(answer->second, "the records were closed before the export could run");
}

TEST_F(RecordsClosing, TheEndWaitsABoundedTimeAndSaysWhatWasNotWritten)
{
    m_pLock = std::make_unique<CWriteLock>(Path());
    auto pStore = std::make_unique<CRecordStore>(Path());
    ASSERT_TRUE(WaitForEvents([&] { return pStore->IsStarted(); }));
    pStore->Add(MakeGame(Today(10), 40, GameEndCause::Incorrect, L"3"));
    CRecordStore::CloseLater(std::move(pStore));
    testing::internal::CaptureStderr();
    const bool bClosed = CRecordStore::WaitForClosed(std::chrono::milliseconds(1));
    const std::string strErr = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(bClosed);
    EXPECT_NE(strErr.find("records.sqlite was not closed within"), std::string::npos) << strErr;
    EXPECT_NE(strErr.find("1 game(s) not written"), std::string::npos) << strErr;
    m_pLock->Release();
    ASSERT_TRUE(WaitForEvents([] { return CRecordStore::ClosingCount() == 0; }));
    EXPECT_TRUE(CRecordStore::WaitForClosed(std::chrono::milliseconds(0)));
    EXPECT_EQ(Rows(), (QStringList{"won|5", "lost|3"}));
}
