// The adapter window's log when many chunks arrive between two paints: the
// text and the picture are those of one chunk at a time, the cap and form
// feeds stay exact, a line of any length is taken whole, and sounds do not
// wait for a paint.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QScrollBar>

#include <string>
#include <vector>

#include "tests/adapter/AdapterTestSupport.h"

using namespace adaptertest;

namespace {

// The log the user must see after the chunks: what follows the last form
// feed, carriage returns dropped, nothing after a zero byte, trimmed the
// window's way.
std::wstring ExpectedLog(const std::vector<std::wstring>& chunks)
{
    std::wstring strLog;
    for (std::wstring strChunk : chunks) {
        strChunk = strChunk.substr(0, strChunk.find(L'\0'));
        if (const size_t nFeed = strChunk.rfind(L'\f'); nFeed != std::wstring::npos) {
            strLog.clear();
            strChunk.erase(0, nFeed + 1);
        }
        for (const wchar_t c : strChunk)
            if (c != L'\r')
                strLog.push_back(c);
        if (strLog.size() > size_t(CQuadoDravikDriver::MaxLogChars + CQuadoDravikDriver::LogTrimSlack))
            strLog.erase(0, strLog.size() - CQuadoDravikDriver::MaxLogChars);
    }
    return strLog;
}

class LogWindow {
public:
    LogWindow()
    {
        m_dlg.SetLinks(nullptr, nullptr, &m_bMute, &m_player);
        m_dlg.show();
    }
    QImage Picture() { return m_dlg.m_reLog.grab().toImage(); }

    bool m_bMute = false;
    CRecordingPlayer m_player;
    CQuadoDravikDriver m_dlg;
};

std::vector<std::wstring> MixedChunks()
{
    std::vector<std::wstring> chunks;
    for (int i = 0; i < 40; ++i)
        chunks.push_back(L"line " + std::to_wstring(i) + L"\r\nG\nOff\n");
    chunks.push_back(L"before\fafter a form feed\n");
    chunks.push_back(std::wstring(700, L'w') + L"\n");
    chunks.push_back(L"");
    chunks.back() = std::wstring(L"kept\0dropped\n", 13);
    for (int i = 0; i < 30; ++i)
        chunks.push_back(L"tail " + std::to_wstring(i) + L"\n");
    return chunks;
}

// Counts the events of one type that reach a widget.
class CEventCounter : public QObject {
public:
    CEventCounter(QObject* pWatched, QEvent::Type nType, int& nCount) : m_nType(nType), m_nCount(nCount)
    {
        pWatched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        m_nCount += pEvent->type() == m_nType;
        return false;
    }

private:
    QEvent::Type m_nType;
    int& m_nCount;
};

} // namespace

TEST_F(AdapterFrameTest, ABurstBetweenTwoPaintsShowsWhatChunkByChunkShows)
{
    const std::vector<std::wstring> chunks = MixedChunks();
    LogWindow stepwise;
    LogWindow burst;
    for (const std::wstring& strChunk : chunks) {
        stepwise.m_dlg.ProcessChunk(strChunk);
        stepwise.Picture();
        burst.m_dlg.ProcessChunk(strChunk);
    }
    EXPECT_EQ(LogText(burst.m_dlg), ExpectedLog(chunks));
    EXPECT_EQ(LogText(stepwise.m_dlg), LogText(burst.m_dlg));
    const QImage picture = burst.Picture();
    EXPECT_EQ(picture, stepwise.Picture());
    EXPECT_TRUE(burst.m_dlg.m_reLog.IsShowingEnd());
    // The picture is not blank: the last lines are painted.
    EXPECT_NE(picture, LogWindow().Picture());
}

TEST_F(AdapterFrameTest, CapAndFormFeedStayExactWhenChunksComeFasterThanPaints)
{
    std::vector<std::wstring> chunks;
    std::wstring strBlock;
    for (int i = 0; strBlock.size() < 64; ++i)
        strBlock += L"Off\nG\n";
    const size_t nBlocks = (CQuadoDravikDriver::MaxLogChars + 3 * CQuadoDravikDriver::LogTrimSlack) / strBlock.size();
    for (size_t i = 0; i < nBlocks; ++i)
        chunks.push_back(std::to_wstring(i) + L":" + strBlock);
    LogWindow burst;
    LogWindow stepwise;
    for (size_t i = 0; i < chunks.size(); ++i) {
        burst.m_dlg.ProcessChunk(chunks[i]);
        stepwise.m_dlg.ProcessChunk(chunks[i]);
        if (i % 997 == 0)
            stepwise.Picture();
    }
    const std::wstring strExpected = ExpectedLog(chunks);
    ASSERT_LE(strExpected.size(), size_t(CQuadoDravikDriver::MaxLogChars + CQuadoDravikDriver::LogTrimSlack));
    ASSERT_GE(strExpected.size(), size_t(CQuadoDravikDriver::MaxLogChars));
    EXPECT_EQ(LogText(burst.m_dlg), strExpected);
    EXPECT_EQ(burst.Picture(), stepwise.Picture());

    // A form feed in the middle of a burst leaves only what follows it.
    burst.m_dlg.ProcessChunk(L"x\n");
    burst.m_dlg.ProcessChunk(L"gone\fstays\n");
    burst.m_dlg.ProcessChunk(L"next\n");
    EXPECT_EQ(LogText(burst.m_dlg), L"stays\nnext\n");
    LogWindow fresh;
    fresh.m_dlg.ProcessChunk(L"stays\nnext\n");
    EXPECT_EQ(burst.Picture(), fresh.Picture());
}

TEST_F(AdapterFrameTest, ALineOfAMegabyteIsKeptWholeAndTheViewShowsItsEnd)
{
    LogWindow window;
    const std::wstring strPiece(64, L'n');
    const int nPieces = (1 << 20) / 64;
    for (int i = 0; i < nPieces; ++i)
        window.m_dlg.ProcessChunk(strPiece);
    window.m_dlg.ProcessChunk(L"\nend\n");
    const std::wstring strLog = LogText(window.m_dlg);
    ASSERT_EQ(strLog.size(), size_t(1 << 20) + 5);
    EXPECT_EQ(strLog.find_first_not_of(L'n'), size_t(1 << 20));
    EXPECT_EQ(strLog.substr(1 << 20), L"\nend\n");
    // The view breaks the line for display only, into rows it can paint.
    EXPECT_GT(window.m_dlg.m_reLog.RowCount(), 2);
    const QImage picture = window.Picture();
    EXPECT_TRUE(window.m_dlg.m_reLog.IsShowingEnd());
    EXPECT_NE(picture, LogWindow().Picture());
}

TEST_F(AdapterFrameTest, TonesStartAndStopWithTheirLineNotWithThePaint)
{
    LogWindow window;
    window.m_dlg.ProcessChunk(L"New\n");
    ASSERT_TRUE(window.m_dlg.Interpreter().IsGameRunning());
    // No events run between the chunks, so no paint happens: every tone
    // change must already be there when its chunk has been processed.
    size_t nCalls = window.m_player.m_vecCalls.size();
    for (const wchar_t* pszChunk : {L"G\n", L"Off\n", L"R\nOff\nB\n", L"Off\n"}) {
        window.m_dlg.ProcessChunk(pszChunk);
        EXPECT_GT(window.m_player.m_vecCalls.size(), nCalls) << "after " << std::wstring(pszChunk).size();
        nCalls = window.m_player.m_vecCalls.size();
    }
    EXPECT_EQ(window.m_player.m_vecCalls.back(), "stop");
}

// A range dragged over with the mouse is what Ctrl+C copies, and it stays on
// the same characters while older text is trimmed away; a click that drags
// nothing leaves Ctrl+C copying the whole log.
TEST_F(AdapterFrameTest, MouseSelectionIsWhatCtrlCCopies)
{
    LogWindow window;
    window.m_dlg.ProcessChunk(L"first line\nsecond line\nthird\n");
    CLogView& log = window.m_dlg.m_reLog;
    log.grab();
    QWidget* pViewport = log.viewport();
    const int nAdvance = log.fontMetrics().horizontalAdvance(QLatin1Char('M'));
    const int nRow = log.fontMetrics().lineSpacing();
    // From between "fi" and "rst" on the first row to after "sec" on the second.
    const QPoint ptFrom(2 + 2 * nAdvance, nRow / 2);
    const QPoint ptTo(2 + 3 * nAdvance, nRow + nRow / 2);
    QTest::mousePress(pViewport, Qt::LeftButton, {}, ptFrom);
    QMouseEvent move(QEvent::MouseMove, QPointF(ptTo), pViewport->mapToGlobal(QPointF(ptTo)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pViewport, &move);
    QTest::mouseRelease(pViewport, Qt::LeftButton, {}, ptTo);
    EXPECT_EQ(log.SelectedText(), QString("rst line\nsec"));
    QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString("rst line\nsec"));

    // Trimming the oldest text keeps the selection on its characters.
    log.KeepLast(static_cast<int>(log.Text().size()) - 2);
    EXPECT_EQ(log.SelectedText(), QString("rst line\nsec"));

    QTest::mouseClick(pViewport, Qt::LeftButton, {}, ptTo);
    EXPECT_TRUE(log.SelectedText().isEmpty());
    QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), log.Text());
}

// The log's scroll bar shows its last picture again while nothing it shows
// has changed; as lines keep coming, its handle must still be drawn where a
// plain scroll bar in the same state draws it.
TEST_F(AdapterFrameTest, LogScrollBarShowsTheHandleWhereThePlainOneDoes)
{
    LogWindow window;
    CLogView& log = window.m_dlg.m_reLog;
    QScrollBar* pBar = log.verticalScrollBar();
    QScrollBar plain(Qt::Vertical);
    for (int i = 0; i < 60; ++i) {
        window.m_dlg.ProcessChunk(L"G\nOff\n");
        log.grab();
        plain.resize(pBar->size());
        plain.setRange(pBar->minimum(), pBar->maximum());
        plain.setPageStep(pBar->pageStep());
        plain.setValue(pBar->value());
        // The one sits in a window, the other alone: the same pixels, in
        // two formats.
        ASSERT_EQ(pBar->grab().toImage().convertToFormat(QImage::Format_RGB32),
                  plain.grab().toImage().convertToFormat(QImage::Format_RGB32))
            << "after " << i + 1 << " chunks";
    }
    EXPECT_GT(pBar->maximum(), 0);
}

// Someone reading back in a full log must see the same text stay put while
// the oldest text is trimmed away, also when a cut falls on a row's start.
TEST_F(AdapterFrameTest, AScrolledBackLogStaysOnItsTextWhileTheOldestIsTrimmed)
{
    LogWindow window;
    CLogView& log = window.m_dlg.m_reLog;
    for (int i = 0; i < 400; ++i)
        log.Append(QString::number(i % 10) + QLatin1Char('\n'));
    log.grab();
    QScrollBar* pBar = log.verticalScrollBar();
    pBar->setValue(pBar->maximum() / 2);
    const QImage shown = log.viewport()->grab().toImage();
    // Two characters a row: cuts of 2 fall on a row's start, cuts of 3 inside one.
    for (const int nCut : {2, 2, 3, 2, 1, 4}) {
        log.KeepLast(static_cast<int>(log.Text().size()) - nCut);
        log.Append(QStringLiteral("x\n"));
        ASSERT_EQ(log.viewport()->grab().toImage(), shown) << "after a cut of " << nCut;
    }
}

// A paint that changes the scroll bar asks for another paint: data coming
// in must cost one paint per frame, not two.
TEST_F(AdapterFrameTest, StreamingDataPaintsTheLogOncePerFrame)
{
    LogWindow window;
    QWidget* pViewport = window.m_dlg.m_reLog.viewport();
    int nPaints = 0;
    CEventCounter counter(pViewport, QEvent::Paint, nPaints);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.m_dlg, testsupport::HangGuardMs));
    for (int i = 0; i < 30; ++i) {
        const int nBefore = nPaints;
        window.m_dlg.ProcessChunk(L"G\nOff\n");
        ASSERT_TRUE(WaitForEvents([&] { return nPaints > nBefore; }));
        // Whatever the paint asked for in turn comes now.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        ASSERT_EQ(nPaints, nBefore + 1) << "chunk " << i;
    }
}

// Tabs and control characters take one cell each, like every other
// character, so what is painted, selected and copied lines up.
TEST_F(AdapterFrameTest, TabsAndControlCharactersTakeOneCellEach)
{
    LogWindow window;
    CLogView& log = window.m_dlg.m_reLog;
    window.m_dlg.ProcessChunk(QString::fromLatin1("a\tb\x01\x85" "c\n").toStdWString());
    const QImage picture = log.viewport()->grab().toImage();
    const int nAdvance = log.fontMetrics().horizontalAdvance(QLatin1Char('M'));
    const int nRow = log.fontMetrics().lineSpacing();
    const QRgb background = picture.pixel(picture.width() - 1, picture.height() - 1);
    const auto inked = [&](int nFrom, int nTo) {
        for (int x = nFrom; x < nTo; ++x)
            for (int y = 0; y < nRow; ++y)
                if (picture.pixel(x, y) != background)
                    return true;
        return false;
    };
    for (int nCell = 0; nCell < 6; ++nCell)
        EXPECT_TRUE(inked(2 + nCell * nAdvance, 2 + (nCell + 1) * nAdvance)) << "cell " << nCell << " is blank";
    // A glyph's edge may touch the next cell, no more.
    EXPECT_FALSE(inked(2 + 6 * nAdvance + nAdvance / 2, picture.width() / 2)) << "the row runs past its six characters";

    // Dragging over the first four cells selects the first four characters.
    QWidget* pViewport = log.viewport();
    QTest::mousePress(pViewport, Qt::LeftButton, {}, QPoint(2, nRow / 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(2 + 4 * nAdvance, nRow / 2), QPointF(), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pViewport, &move);
    EXPECT_EQ(log.SelectedText(), QString::fromLatin1("a\tb\x01"));
    QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromLatin1("a\tb\x01"));
}
