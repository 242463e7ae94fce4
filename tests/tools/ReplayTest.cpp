// quado-replay as the tests and bug reports use it: recorded streams through
// the real program, the state report, the pictures, and the refusals.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>

#include <map>

#include <sys/stat.h>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "tests/tools/ToolsTestSupport.h"

using namespace toolstest;

namespace {

const QString PressText = QStringLiteral(u"Press button\nto start\n\nDr\u00fccken Sie\nKnopf, um\nanzufangen");
const QString WinText = QStringLiteral("You Win!\n\nSie Haben\nGewonnen!");
const QString LoseText = QStringLiteral("You Lose!\n\nSie Haben\nVerloren!");
const QString TimeoutText = QStringLiteral(u"Timeout\n\nZeitlimit\n\u00dcberschritten");
const QString ConnectedStatus =
    QStringLiteral("CONNECTED  -  115200  -  No Parity  -  No Flow Control  -  8 Data Bits  -  1 Stop Bit");

constexpr int BoardLeft = 412;
constexpr int BoardTop = 120;
constexpr QRect PanelRect(934, 240, 326, 288);
constexpr int BoardIds[] = {AssetId::BoardNone, AssetId::BoardGreen, AssetId::BoardRed,
                            AssetId::BoardBlue, AssetId::BoardYellow, AssetId::BoardAll};

QImage Asset(int nId)
{
    static std::map<int, QImage> s_images;
    QImage& image = s_images[nId];
    if (image.isNull())
        image = LoadBitmapResource(nId).convertToFormat(QImage::Format_RGB32);
    return image;
}

// Samples the board on a grid: where quadrant nLit's picture differs from the
// dark board the canvas must show it, and where another colour's picture
// differs but nLit's does not, the canvas must be dark. Returns the number of
// mismatching samples; nLitSamples counts the lit ones checked.
int BoardMismatches(const QImage& canvas, int nLit, int& nLitSamples)
{
    const QImage dim = Asset(BoardIds[0]);
    const QImage lit = Asset(BoardIds[nLit]);
    int nMismatches = 0;
    nLitSamples = 0;
    for (int y = 0; y < dim.height(); y += 6) {
        for (int x = 0; x < dim.width(); x += 6) {
            const QRgb rgbCanvas = canvas.pixel(BoardLeft + x, BoardTop + y);
            if (lit.pixel(x, y) != dim.pixel(x, y) && lit.pixel(x, y) != qRgb(255, 255, 255)) {
                ++nLitSamples;
                nMismatches += rgbCanvas != lit.pixel(x, y);
                continue;
            }
            for (int nOther = 1; nOther <= 4; ++nOther) {
                if (nOther != nLit && Asset(BoardIds[nOther]).pixel(x, y) != dim.pixel(x, y)) {
                    nMismatches += rgbCanvas != dim.pixel(x, y);
                    break;
                }
            }
        }
    }
    return nMismatches;
}

// Pixels of the panel that differ from the bare background: the text's.
int PanelInkPixels(const QImage& canvas)
{
    const QImage background = Asset(AssetId::Background);
    int nInk = 0;
    for (int y = PanelRect.top(); y <= PanelRect.bottom(); ++y)
        for (int x = PanelRect.left(); x <= PanelRect.right(); ++x)
            nInk += canvas.pixel(x, y) != background.pixel(x, y);
    return nInk;
}

QStringList Sounds(const QJsonObject& state)
{
    QStringList sounds;
    for (const QJsonValue& call : state.value(QStringLiteral("sounds")).toArray()) {
        const QJsonObject obj = call.toObject();
        QString str = obj.value(QStringLiteral("op")).toString();
        if (obj.contains(QStringLiteral("id")))
            str += QLatin1Char(' ') + QString::number(obj.value(QStringLiteral("id")).toInt());
        sounds << str;
    }
    return sounds;
}

QStringList FeatureReports(const QJsonObject& state)
{
    QStringList reports;
    for (const QJsonValue& value : state.value(QStringLiteral("feature_reports")).toArray()) {
        const QJsonObject obj = value.toObject();
        reports << obj.value(QStringLiteral("dir")).toString() + QLatin1Char(' ') +
                       obj.value(QStringLiteral("hex")).toString();
    }
    return reports;
}

QString Str(const QJsonObject& state, const char* pszKey)
{
    return state.value(QString::fromLatin1(pszKey)).toString();
}

// The report without what depends on timing (polls may fall into the run).
QJsonObject Timeless(QJsonObject state)
{
    state.remove(QStringLiteral("feature_reports"));
    return state;
}

QByteArray ReadData(const char* pszName)
{
    QFile file(DataFile(pszName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(Replay, AWonGameEndsDarkWithTheWinTextAndEveryToneInOrder)
{
    Replay replay;
    RunReplay(replay, {DataFile("won-game.txt")});
    ASSERT_TRUE(replay.Ok()) << replay.run.stderrBytes.constData();
    const QJsonObject& state = replay.state;

    const QStringList keys = {"feature_reports", "game_running", "games", "lit_quadrant", "log",
                              "max_level", "max_level_known", "paint", "panel_text",
                              "pending_line", "sounds", "status_line", "tone_playing"};
    EXPECT_EQ(state.keys(), keys);
    EXPECT_EQ(state.value("lit_quadrant").toInt(), 0);
    EXPECT_EQ(Str(state, "panel_text"), WinText);
    EXPECT_FALSE(state.value("game_running").toBool());
    EXPECT_FALSE(state.value("tone_playing").toBool());
    EXPECT_TRUE(state.value("max_level_known").toBool());
    EXPECT_EQ(Str(state, "max_level"), "3");
    EXPECT_EQ(Str(state, "pending_line"), "");
    EXPECT_EQ(Str(state, "status_line"), ConnectedStatus);
    EXPECT_TRUE(Str(state, "log").startsWith("Press button\nNew\nMAX_LEVEL=3\nLevel 1 -\nB\nOff\n"));
    EXPECT_TRUE(Str(state, "log").endsWith("Y\nOff\nCongrat\n"));

    const QStringList b = {"loop 151", "stop"}, g = {"loop 153", "stop"}, y = {"loop 156", "stop"};
    EXPECT_EQ(Sounds(state), b + b + b + g + b + g + b + g + y + b + g + y + QStringList{"once 160"});

    const QJsonObject paint = state.value("paint").toObject();
    EXPECT_EQ(paint, (QJsonObject{{"x", 0}, {"y", 0}, {"w", 1280}, {"h", 768}, {"stretched", false}}));

    // The pictures: a dark board, the win text in the panel, and the window
    // at the canvas's own size painted 1:1.
    ASSERT_EQ(replay.canvas.size(), QSize(1280, 768));
    int nLitSamples = 0;
    EXPECT_EQ(BoardMismatches(replay.canvas, 0, nLitSamples), 0);
    EXPECT_GT(PanelInkPixels(replay.canvas), 500);
    EXPECT_TRUE(replay.window == replay.canvas);
}

TEST(Replay, ALostGameLeavesTheWrongPadLitAndTheFeatureReportsSpanConnectToDisconnect)
{
    Replay replay;
    RunReplay(replay, {DataFile("lost-game.txt")});
    ASSERT_TRUE(replay.Ok()) << replay.run.stderrBytes.constData();
    const QJsonObject& state = replay.state;

    EXPECT_EQ(state.value("lit_quadrant").toInt(), 1);
    EXPECT_EQ(Str(state, "panel_text"), LoseText);
    EXPECT_FALSE(state.value("game_running").toBool());
    EXPECT_EQ(Sounds(state).mid(Sounds(state).size() - 2), (QStringList{"loop 153", "once 152"}));

    int nLitSamples = 0;
    EXPECT_EQ(BoardMismatches(replay.canvas, 1, nLitSamples), 0);
    EXPECT_GT(nLitSamples, 50);

    // Set-up first, the UART off and its settings back last; between them
    // nothing but the half-second polls.
    const QStringList reports = FeatureReports(state);
    const QRegularExpression hexForm(QStringLiteral("^(set|get) [0-9a-f]{2}( [0-9a-f]{2})*$"));
    for (const QString& strReport : reports)
        EXPECT_TRUE(hexForm.match(strReport).hasMatch()) << strReport.toStdString();
    const qsizetype nEnable = reports.indexOf("set 45 01");
    const qsizetype nDisable = reports.indexOf("set 45 00");
    ASSERT_GE(nEnable, 0);
    ASSERT_GT(nDisable, nEnable);
    EXPECT_EQ(reports.first(), "set 40 02");
    EXPECT_EQ(reports.mid(nEnable, 3), (QStringList{"set 45 01", "set 4b fb 04", "set 4b 04 04"}));
    EXPECT_TRUE(reports.contains("set 46 00 c2 01 00 00 00 08 00"));
    EXPECT_EQ(reports.at(nDisable + 1), "set 46 80 25 00 00 00 00 08 00");
    const qsizetype nSetUp = reports.indexOf("set 46 00 c2 01 00 00 00 08 00");
    for (qsizetype i = nSetUp + 2; i < nDisable; ++i)
        EXPECT_TRUE(reports.at(i).startsWith("get 4a")) << reports.at(i).toStdString();
}

TEST(Replay, CrLfAndLfAloneGiveTheSameTimedOutGame)
{
    Replay crlf;
    Replay lf;
    RunReplay(crlf, {DataFile("timeout-crlf.txt")});
    RunReplay(lf, {DataFile("timeout-lf.txt")});
    ASSERT_TRUE(crlf.Ok() && lf.Ok());
    EXPECT_EQ(Str(lf.state, "panel_text"), TimeoutText);
    EXPECT_EQ(Sounds(lf.state), (QStringList{"loop 151", "stop", "once 152"}));
    EXPECT_EQ(Str(lf.state, "log"), "Press button\nNew\nMAX_LEVEL=2\nLevel 1 -\nB\nOff\nTimeout\n");
    // The CR LF stream is longer, so its game ends further into it.
    QJsonObject crlfState = Timeless(crlf.state);
    QJsonObject lfState = Timeless(lf.state);
    crlfState.remove(QStringLiteral("games"));
    lfState.remove(QStringLiteral("games"));
    EXPECT_EQ(crlfState, lfState);
    EXPECT_TRUE(crlf.canvas == lf.canvas);
}

TEST(Replay, AFormFeedClearsAndAZeroByteEndsTheRead)
{
    // One read: "R\nab\fY\r\nX\0Z\r\nG\n". Everything up to the form feed
    // is gone, everything after the zero byte never counts.
    Replay whole;
    RunReplay(whole, {DataFile("formfeed-zero.bin")});
    ASSERT_TRUE(whole.Ok()) << whole.run.stderrBytes.constData();
    EXPECT_EQ(Str(whole.state, "log"), "Y\nX");
    EXPECT_EQ(whole.state.value("lit_quadrant").toInt(), 4);
    EXPECT_EQ(Str(whole.state, "pending_line"), "X");
    int nLitSamples = 0;
    EXPECT_EQ(BoardMismatches(whole.canvas, 4, nLitSamples), 0);

    // A byte per read: the zero byte ends only its own read, so the rest of
    // the stream is read as usual.
    Replay bytewise;
    RunReplay(bytewise, {QStringLiteral("--chunk"), QStringLiteral("1"), DataFile("formfeed-zero.bin")});
    ASSERT_TRUE(bytewise.Ok());
    EXPECT_EQ(Str(bytewise.state, "log"), "Y\nXZ\nG\n");
    EXPECT_EQ(bytewise.state.value("lit_quadrant").toInt(), 1);
    EXPECT_EQ(Str(bytewise.state, "pending_line"), "");
}

TEST(Replay, Latin1BytesBecomeTheirCharactersAndAreWrittenAsUtf8)
{
    Replay replay;
    RunReplay(replay, {DataFile("latin1.bin")});
    ASSERT_TRUE(replay.Ok()) << replay.run.stderrBytes.constData();
    const QJsonObject& state = replay.state;
    // The no-break space after the level is white space and trimmed.
    EXPECT_EQ(Str(state, "max_level"), QStringLiteral(u"\u00bd"));
    EXPECT_EQ(Str(state, "panel_text"), QStringLiteral(u"Level:\n\u00e9 of \u00bd\n\nSchwierigkeit:\n\u00e9 aus \u00bd"));
    EXPECT_EQ(Str(state, "pending_line"), QStringLiteral(u"\u00c4rger"));
    EXPECT_EQ(Str(state, "log"), QStringLiteral(u"MAX_LEVEL=\u00bd\nLevel \u00e9\u00a0 -\n\u00c4rger"));

    QFile file(replay.dir.filePath("state.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray json = file.readAll();
    EXPECT_TRUE(json.contains("\"pending_line\": \"\xc3\x84rger\"")) << json.constData();
}

TEST(Replay, AStreamCutIntoReadsOfOneSevenOrSixtyFourBytesPlaysAlike)
{
    Replay replays[3];
    const char* chunks[] = {"1", "7", "64"};
    for (int i = 0; i < 3; ++i) {
        RunReplay(replays[i], {QStringLiteral("--chunk"), QString::fromLatin1(chunks[i]), DataFile("split-lines.txt")});
        ASSERT_TRUE(replays[i].Ok()) << chunks[i] << replays[i].run.stderrBytes.constData();
    }
    const QJsonObject& state = replays[0].state;
    EXPECT_EQ(state.value("lit_quadrant").toInt(), 4);
    EXPECT_EQ(Str(state, "panel_text"), "Level:\n11 of 12\n\nSchwierigkeit:\n11 aus 12");
    EXPECT_EQ(Str(state, "pending_line"), "Lev");
    EXPECT_TRUE(state.value("tone_playing").toBool());
    EXPECT_TRUE(state.value("game_running").toBool());
    // "  off  " after an Off stops nothing: no tone is playing by then. The
    // last tone is still looping when the recording ends: the disconnect
    // stops it, as nothing else ever would.
    EXPECT_EQ(Sounds(state), (QStringList{"loop 156", "stop", "loop 151", "stop", "loop 153", "stop", "loop 154",
                                          "stop", "loop 156", "stop"}));
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(Timeless(replays[i].state), Timeless(state)) << chunks[i];
        EXPECT_TRUE(replays[i].canvas == replays[0].canvas) << chunks[i];
    }
}

TEST(Replay, MutedTheGameLightsButOnlyStopsAreSent)
{
    Replay replay;
    RunReplay(replay, {QStringLiteral("--mute"), DataFile("won-game.txt")});
    ASSERT_TRUE(replay.Ok());
    EXPECT_EQ(Str(replay.state, "panel_text"), WinText);
    const QStringList sounds = Sounds(replay.state);
    EXPECT_EQ(sounds.size(), 12);
    EXPECT_EQ(sounds.count("stop"), sounds.size());
}

TEST(Replay, TheWindowIsPaintedAtTheClientSizeOneToOneCentredOrScaledDown)
{
    struct Case {
        QStringList args;
        QSize size;
        QJsonObject paint;
    };
    const Case cases[] = {
        {{"--client", "1600x1000"}, {1600, 1000}, {{"x", 160}, {"y", 116}, {"w", 1280}, {"h", 768}, {"stretched", false}}},
        {{"--client", "640x480"}, {640, 480}, {{"x", 0}, {"y", 0}, {"w", 640}, {"h", 480}, {"stretched", false}}},
        {{"--client", "640x480", "--scale-down"}, {640, 480}, {{"x", 0}, {"y", 48}, {"w", 640}, {"h", 384}, {"stretched", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        Replay replay;
        RunReplay(replay, c.args + QStringList{DataFile("lost-game.txt")});
        ASSERT_TRUE(replay.Ok()) << replay.run.stderrBytes.constData();
        EXPECT_EQ(replay.state.value("paint").toObject(), c.paint);
        ASSERT_EQ(replay.window.size(), c.size);
        const QJsonObject& p = c.paint;
        if (!p.value("stretched").toBool()) {
            // 1:1: the window shows the canvas's top-left part at the offset,
            // black around it.
            EXPECT_EQ(replay.window.pixel(p["x"].toInt() + 500, p["y"].toInt() + 300), replay.canvas.pixel(500, 300));
            if (p["x"].toInt() > 0) {
                EXPECT_EQ(replay.window.pixel(5, 5), qRgb(0, 0, 0));
            }
        } else {
            // Scaled: black bars above and below, the picture between them.
            EXPECT_EQ(replay.window.pixel(320, 10), qRgb(0, 0, 0));
            EXPECT_EQ(replay.window.pixel(320, 470), qRgb(0, 0, 0));
            const QImage scaled = replay.canvas.scaled(640, 384);
            EXPECT_EQ(replay.window.pixel(320, 48 + 192), scaled.pixel(320, 192));
        }
    }
}

TEST(Replay, StandardInputServesAsTheRecording)
{
    Replay replay;
    RunReplay(replay, {QStringLiteral("-")}, ReadData("timeout-lf.txt"));
    ASSERT_TRUE(replay.Ok()) << replay.run.stderrBytes.constData();
    EXPECT_EQ(Str(replay.state, "panel_text"), TimeoutText);
}

TEST(Replay, BadOptionsAndUnreadableInputFailWithOneLine)
{
    const QString won = DataFile("won-game.txt");
    const QList<QStringList> bad = {
        {"--chunk", "0", won},    {"--chunk", "65", won},     {"--chunk", "7x", won},
        {"--chunk"},              {"--client", "1280", won},  {"--client", "0x768", won},
        {"--client", "x", won},   {"--bogus", won},           {},
        {"--mute"},               {"/no/such/recording.bin"}, {DataFile("")},
        {won, won},
    };
    for (const QStringList& args : bad) {
        SCOPED_TRACE(args.join(' ').toStdString());
        QTemporaryDir dir;
        const RunResult run = RunProgram(QStringLiteral(QUADO_REPLAY), QStringList{"--out", dir.path()} + args);
        EXPECT_FALSE(run.bCrashed);
        EXPECT_NE(run.nExitCode, 0);
        EXPECT_EQ(run.stderrBytes.count('\n'), 1) << run.stderrBytes.constData();
        EXPECT_TRUE(run.stderrBytes.startsWith("quado-replay: ")) << run.stderrBytes.constData();
        EXPECT_FALSE(QFile::exists(dir.filePath("state.json")));
    }
}

TEST(Replay, AnEmptyRecordingConnectsAndDisconnectsAndShowsTheStartingBoard)
{
    Replay replay;
    RunReplay(replay, {QStringLiteral("-")}, QByteArray());
    ASSERT_TRUE(replay.Ok()) << replay.run.stderrBytes.constData();
    EXPECT_EQ(Str(replay.state, "panel_text"), "");
    EXPECT_EQ(Str(replay.state, "log"), "");
    EXPECT_TRUE(replay.state.value("sounds").toArray().isEmpty());
    EXPECT_EQ(PanelInkPixels(replay.canvas), 0);
    EXPECT_TRUE(FeatureReports(replay.state).contains("set 45 00"));
}

TEST(Replay, FitAndDevicePixelRatioGiveDevicePixelsAndHelpAnswers)
{
    const RunResult help = RunProgram(QStringLiteral(QUADO_REPLAY), {QStringLiteral("--help")});
    EXPECT_EQ(help.nExitCode, 0);
    EXPECT_TRUE(help.stdoutBytes.startsWith("usage: quado-replay")) << help.stdoutBytes.constData();
    EXPECT_TRUE(help.stdoutBytes.contains("--device-pixel-ratio"));

    Replay plain;
    RunReplay(plain, {DataFile("won-game.txt")});
    ASSERT_TRUE(plain.Ok()) << plain.run.stderrBytes.constData();
    Replay sharp;
    RunReplay(sharp, {"--device-pixel-ratio", "2", "--fit", "--client", "1920x1080", DataFile("won-game.txt")});
    ASSERT_TRUE(sharp.Ok()) << sharp.run.stderrBytes.constData();
    EXPECT_EQ(sharp.window.size(), QSize(3840, 2160));
    EXPECT_EQ(sharp.state.value("paint").toObject(),
              (QJsonObject{{"x", 60}, {"y", 0}, {"w", 1800}, {"h", 1080}, {"stretched", true}}));
    // The 1x canvas is the same whatever the screen.
    EXPECT_EQ(sharp.canvas, plain.canvas);

    for (const char* pszBad : {"0.5", "9", "2x", ""}) {
        const RunResult run = RunProgram(QStringLiteral(QUADO_REPLAY),
                                         {"--device-pixel-ratio", pszBad, DataFile("won-game.txt")});
        EXPECT_EQ(run.nExitCode, 2) << pszBad;
    }
}

TEST(Replay, AnOutputNameTakenByAPipeIsRefusedBeforeAnythingIsWritten)
{
    // Written into, the pipe would hold the replay until someone read it.
    QTemporaryDir dir;
    const QString strPipe = dir.filePath(QStringLiteral("state.json"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(strPipe).constData(), 0644), 0);
    const RunResult run =
        RunProgram(QStringLiteral(QUADO_REPLAY), {QStringLiteral("--out"), dir.path(), DataFile("won-game.txt")});
    EXPECT_EQ(run.nExitCode, 2) << run.stderrBytes.constData();
    EXPECT_TRUE(QString::fromLocal8Bit(run.stderrBytes).contains("--out: " + strPipe + " is a named pipe, not a file"))
        << run.stderrBytes.constData();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"state.json"});
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(strPipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
