// The board view as its callers see it: what the canvas shows after
// LightQuadrant and ShowPanelText, when it asks for repaints, and what a
// paint puts on screen.
#include <gtest/gtest.h>

#include <string>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QWidget>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "board/ChildView.h"
#include "tests/support/EventWait.h"

namespace {

constexpr QRect BoardRect(CChildView::BoardLeft, CChildView::BoardTop, 512, 512);
constexpr QRect PanelRect(CChildView::PanelLeft, CChildView::PanelTop, CChildView::PanelWidth,
                          CChildView::PanelHeight);
constexpr int BoardIds[6] = {AssetId::BoardNone, AssetId::BoardGreen,  AssetId::BoardRed,
                             AssetId::BoardBlue, AssetId::BoardYellow, AssetId::BoardAll};

QImage Background()
{
    return LoadBitmapResource(AssetId::Background).convertToFormat(QImage::Format_RGB32);
}

// The canvas as it should look with board image nIndex: the background,
// and over it every non-white pixel of that image.
QImage ExpectedCanvas(int nIndex)
{
    QImage canvas = Background();
    const QImage board = LoadBitmapResource(BoardIds[nIndex]).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < board.height(); ++y)
        for (int x = 0; x < board.width(); ++x)
            if ((board.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                canvas.setPixel(BoardRect.left() + x, BoardRect.top() + y, board.pixel(x, y));
    return canvas;
}

bool SameOutside(const QImage& a, const QImage& b, const QRect& rcExcept)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (!rcExcept.contains(x, y) && a.pixel(x, y) != b.pixel(x, y))
                return false;
    return true;
}

// Panel pixels that differ from the clean panel, as a mask in panel
// coordinates.
QImage PanelInk(const CChildView& view, const QImage& cleanCanvas)
{
    QImage ink(PanelRect.size(), QImage::Format_Grayscale8);
    ink.fill(0);
    for (int y = 0; y < PanelRect.height(); ++y)
        for (int x = 0; x < PanelRect.width(); ++x)
            if (view.Canvas().pixel(PanelRect.left() + x, PanelRect.top() + y) !=
                cleanCanvas.pixel(PanelRect.left() + x, PanelRect.top() + y))
                ink.scanLine(y)[x] = 255;
    return ink;
}

bool InkAt(const QImage& ink, int x, int y)
{
    return ink.constScanLine(y)[x] != 0;
}

int InkInRows(const QImage& ink, int nTop, int nBottom)
{
    int n = 0;
    for (int y = std::max(0, nTop); y < std::min(ink.height(), nBottom); ++y)
        for (int x = 0; x < ink.width(); ++x)
            n += InkAt(ink, x, y);
    return n;
}

int InkInColumns(const QImage& ink, int nLeft, int nRight)
{
    int n = 0;
    for (int y = 0; y < ink.height(); ++y)
        for (int x = nLeft; x < nRight; ++x)
            n += InkAt(ink, x, y);
    return n;
}

class ChildViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_parent.resize(1280, 768);
        ASSERT_TRUE(m_view.Create(&m_parent));
        m_clean = m_view.Canvas().copy();
    }

    QWidget m_parent;
    CChildView m_view;
    QImage m_clean;
};

} // namespace

TEST_F(ChildViewTest, StartsWithAllDimBoardOverBackgroundAndEmptyPanel)
{
    EXPECT_EQ(m_view.m_nLitQuadrant, 0);
    EXPECT_EQ(m_view.parentWidget(), &m_parent);
    ASSERT_EQ(m_view.Canvas().size(), QSize(1280, 768));
    EXPECT_EQ(m_view.Canvas(), ExpectedCanvas(QuadrantNone));

    // The board's white corners and hole let the plain ground show through.
    const QRgb Ground = qRgb(52, 52, 60);
    for (QPoint p : {BoardRect.topLeft(), BoardRect.topRight(), BoardRect.bottomLeft(), BoardRect.bottomRight(),
                     BoardRect.center(), BoardRect.topLeft() + QPoint(30, 30)})
        EXPECT_EQ(m_view.Canvas().pixel(p), Ground) << p.x() << "," << p.y();
    EXPECT_EQ(m_view.Canvas().pixel(BoardRect.topLeft() + QPoint(151, 151)), qRgb(0, 0, 255));

    // Nothing is kept aside for a panel that shows no text yet.
    EXPECT_TRUE(m_view.m_bmpPanelBack.isNull());
}

TEST_F(ChildViewTest, LightingTheShownQuadrantAgainRequestsNoRepaint)
{
    const int nBefore = m_view.RepaintRequestCount();
    m_view.LightQuadrant(QuadrantNone);
    EXPECT_EQ(m_view.RepaintRequestCount(), nBefore);

    m_view.LightQuadrant(QuadrantRed);
    EXPECT_EQ(m_view.RepaintRequestCount(), nBefore + 1);
    const QImage canvas = m_view.Canvas().copy();
    m_view.LightQuadrant(QuadrantRed);
    EXPECT_EQ(m_view.RepaintRequestCount(), nBefore + 1);
    EXPECT_EQ(m_view.Canvas(), canvas);
}

TEST_F(ChildViewTest, EveryChangeOfLightShowsExactlyTheNewBoard)
{
    QImage expected[6];
    for (int i = 0; i < 6; ++i)
        expected[i] = ExpectedCanvas(i);
    // From every state straight to every other: colour to colour without 0
    // in between, 0 after anything, 5 after anything.
    for (int nFrom = 0; nFrom < 6; ++nFrom) {
        for (int nTo = 0; nTo < 6; ++nTo) {
            if (nFrom == nTo)
                continue;
            m_view.LightQuadrant(nFrom);
            m_view.Canvas();
            m_view.LightQuadrant(nTo);
            EXPECT_EQ(m_view.m_nLitQuadrant, nTo);
            EXPECT_TRUE(m_view.Canvas() == expected[nTo]) << nFrom << " -> " << nTo;
        }
    }
}

TEST_F(ChildViewTest, IndexWithoutBoardImageIsIgnored)
{
    m_view.LightQuadrant(QuadrantBlue);
    const QImage canvas = m_view.Canvas().copy();
    const int nRequests = m_view.RepaintRequestCount();
    for (int nIndex : {-1, 6, 7, 1000, INT_MIN})
        m_view.LightQuadrant(nIndex);
    EXPECT_EQ(m_view.m_nLitQuadrant, QuadrantBlue);
    EXPECT_EQ(m_view.Canvas(), canvas);
    EXPECT_EQ(m_view.RepaintRequestCount(), nRequests);

    // A light shown before that names no image (the member is public) is
    // left behind safely: the new board is drawn whole.
    for (int nWas : {-1, 40}) {
        m_view.m_nLitQuadrant = nWas;
        m_view.LightQuadrant(QuadrantRed);
        EXPECT_EQ(m_view.Canvas(), ExpectedCanvas(QuadrantRed)) << nWas;
    }
}

TEST_F(ChildViewTest, PanelTextIsWhiteOnTheArtworkAndCentred)
{
    const int nRequests = m_view.RepaintRequestCount();
    m_view.ShowPanelText(L"OHO");
    EXPECT_EQ(m_view.RepaintRequestCount(), nRequests + 1);
    EXPECT_TRUE(SameOutside(m_view.Canvas(), m_clean, PanelRect));

    int nWhite = 0, nGround = 0, nBlack = 0;
    QRect rcInk;
    const QImage ink = PanelInk(m_view, m_clean);
    for (int y = 0; y < PanelRect.height(); ++y) {
        for (int x = 0; x < PanelRect.width(); ++x) {
            const QRgb rgb = m_view.Canvas().pixel(PanelRect.left() + x, PanelRect.top() + y);
            nWhite += rgb == qRgb(255, 255, 255);
            nBlack += rgb == qRgb(0, 0, 0);
            if (InkAt(ink, x, y))
                rcInk |= QRect(x, y, 1, 1);
        }
    }
    for (int y = rcInk.top(); y <= rcInk.bottom(); ++y)
        for (int x = rcInk.left(); x <= rcInk.right(); ++x)
            nGround += m_view.Canvas().pixel(PanelRect.left() + x, PanelRect.top() + y) == qRgb(36, 36, 36);
    EXPECT_GT(nWhite, 200);
    EXPECT_EQ(nBlack, 0) << "no black box behind the text";
    EXPECT_GT(nGround, 500) << "the artwork shows between and inside the letters";
    // One line: in the first 48 rows, centred across the 326 columns.
    EXPECT_GE(rcInk.top(), 0);
    EXPECT_LT(rcInk.bottom(), CChildView::PanelLineHeight);
    EXPECT_NEAR(rcInk.left() + rcInk.right(), CChildView::PanelWidth - 1, 6);
}

TEST_F(ChildViewTest, EmptyTextRestoresTheCleanPanelAndOnlyTheLastTextShows)
{
    m_view.ShowPanelText(L"Level 12\nStufe 12");
    EXPECT_NE(m_view.Canvas(), m_clean);
    m_view.ShowPanelText(L"");
    EXPECT_EQ(m_view.Canvas(), m_clean);

    m_view.ShowPanelText(L"MMMMM\nWWWWW\n#####");
    m_view.ShowPanelText(L"i");
    const QImage afterTwo = m_view.Canvas().copy();
    m_view.ShowPanelText(L"");
    m_view.ShowPanelText(L"i");
    EXPECT_EQ(afterTwo, m_view.Canvas());
}

TEST_F(ChildViewTest, LinesAdvanceByFortyEightAndSixFillThePanel)
{
    const QFontMetrics metrics(m_view.PanelFont());
    EXPECT_LE(metrics.ascent() + metrics.descent(), CChildView::PanelLineHeight);
    EXPECT_GE(metrics.ascent() + metrics.descent(), CChildView::PanelLineHeight - 3);

    // The same line twice: the second is the first moved down 48 rows.
    m_view.ShowPanelText(L"Agj\nAgj");
    const QImage ink = PanelInk(m_view, m_clean);
    ASSERT_GT(InkInRows(ink, 0, 48), 0);
    EXPECT_EQ(ink.copy(0, 0, 326, 48), ink.copy(0, 48, 326, 48));

    // Six lines with capitals and descenders: each in its own 48-row band,
    // the last one inside the panel's bottom edge.
    m_view.ShowPanelText(L"\u00c4gy\n\u00c4gy\n\u00c4gy\n\u00c4gy\n\u00c4gy\n\u00c4gy");
    const QImage six = PanelInk(m_view, m_clean);
    for (int nLine = 0; nLine < 6; ++nLine)
        EXPECT_GT(InkInRows(six, nLine * 48, nLine * 48 + 48), 0) << nLine;
    EXPECT_EQ(six.copy(0, 0, 326, 48), six.copy(0, 240, 326, 48));
    const QImage sixCanvas = m_view.Canvas().copy();

    // A seventh line would start at 288: nothing of it shows.
    m_view.ShowPanelText(L"\u00c4gy\n\u00c4gy\n\u00c4gy\n\u00c4gy\n\u00c4gy\n\u00c4gy\nSEVEN");
    EXPECT_EQ(m_view.Canvas(), sixCanvas);
}

TEST_F(ChildViewTest, TooWideLineIsCutAtBothSides)
{
    m_view.ShowPanelText(std::wstring(40, L'W'));
    EXPECT_TRUE(SameOutside(m_view.Canvas(), m_clean, PanelRect));
    const QImage ink = PanelInk(m_view, m_clean);
    EXPECT_GT(InkInColumns(ink, 0, 4), 0);
    EXPECT_GT(InkInColumns(ink, 322, 326), 0);
    EXPECT_EQ(InkInRows(ink, 48, 288), 0);
}

TEST_F(ChildViewTest, AnyLengthOfTextIsSafe)
{
    std::wstring strLong(20000, L'x');
    m_view.ShowPanelText(strLong);
    std::wstring strLines;
    for (int i = 0; i < 500; ++i)
        strLines += L"line " + std::to_wstring(i) + L"\n";
    m_view.ShowPanelText(strLines);
    m_view.ShowPanelText(std::wstring(300, L'\n'));
    m_view.ShowPanelText(std::wstring(L"a\0b\x01\xff", 5));
    EXPECT_TRUE(SameOutside(m_view.Canvas(), m_clean, PanelRect));
    m_view.ShowPanelText(L"");
    EXPECT_EQ(m_view.Canvas(), m_clean);
}

namespace {

// The smallest rectangle holding every pixel that is not pure black. The
// canvas has no pure black at its edges, so this is where the picture went.
QRect NonBlackBounds(const QImage& image)
{
    QRect rc;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0)
                rc |= QRect(x, y, 1, 1);
    return rc;
}

} // namespace

TEST_F(ChildViewTest, PaintCopiesTheCanvasCentredWithBlackMargins)
{
    m_view.ShowPanelText(L"Press button");
    m_view.LightQuadrant(QuadrantYellow);

    m_view.resize(1280, 768);
    QImage shot = m_view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot, m_view.Canvas());

    m_view.resize(1400, 900);
    shot = m_view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(1400, 900));
    EXPECT_EQ(shot.copy(60, 66, 1280, 768), m_view.Canvas());
    EXPECT_EQ(NonBlackBounds(shot), QRect(60, 66, 1280, 768));

    // Too small without Scale Down: the top-left part of the canvas.
    m_view.resize(1000, 700);
    shot = m_view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot, m_view.Canvas().copy(0, 0, 1000, 700));
}

TEST_F(ChildViewTest, ScaledPaintLandsInTheComputedRectangle)
{
    m_view.m_bScaleDown = true;
    struct Case {
        QSize client;
        QRect picture;
    };
    const Case cases[] = {
        {{1000, 700}, {0, 50, 1000, 600}},
        {{1400, 600}, {200, 0, 1000, 600}},
        {{640, 400}, {0, 8, 640, 384}},
    };
    for (const Case& c : cases) {
        m_view.resize(c.client);
        const QImage shot = m_view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(NonBlackBounds(shot), c.picture) << c.client.width() << " x " << c.client.height();
        // Unsmoothed: every pixel of the shrunk picture is a canvas pixel.
        const QImage canvas = m_view.Canvas();
        const QRgb hole = shot.pixel(c.picture.left() + c.picture.width() * 668 / 1280,
                                     c.picture.top() + c.picture.height() * 376 / 768);
        EXPECT_EQ(hole, canvas.pixel(668, 376));
    }

    // With enough room Scale Down changes nothing.
    m_view.resize(1280, 768);
    EXPECT_EQ(m_view.grab().toImage().convertToFormat(QImage::Format_RGB32), m_view.Canvas());

    // An empty client area paints without trouble in both modes.
    for (bool bScaleDown : {true, false}) {
        m_view.m_bScaleDown = bScaleDown;
        for (QSize size : {QSize(0, 0), QSize(0, 300), QSize(300, 0)}) {
            m_view.resize(size);
            m_view.grab();
        }
        m_view.resize(300, 1);
        const QImage shot = m_view.grab().toImage();
        EXPECT_EQ(shot.size(), QSize(300, 1));
    }
}

namespace {

// Notes the light each paint of the view shows.
class CPaintWatch : public QObject {
public:
    explicit CPaintWatch(CChildView* pView) : m_pView(pView) { pView->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint)
            m_vecShown.push_back(m_pView->m_nLitQuadrant);
        return false;
    }
    CChildView* m_pView;
    std::vector<int> m_vecShown;
};

} // namespace

// Repaints come once a frame: changes right after a paint wait for the next
// frame, and that paint shows the last of them; none is left unpainted.
TEST_F(ChildViewTest, ChangesWithinAFrameArePaintedTogetherAndNoneIsLost)
{
    CPaintWatch watch(&m_view);
    m_parent.show();
    ASSERT_TRUE(testsupport::WaitForEvents([&] { return !watch.m_vecShown.empty(); }));
    for (const int nQuadrant : {QuadrantGreen, QuadrantRed, QuadrantBlue, QuadrantNone, QuadrantYellow}) {
        const size_t nPaints = watch.m_vecShown.size();
        m_view.LightQuadrant(nQuadrant);
        ASSERT_TRUE(testsupport::WaitForEvents([&] { return watch.m_vecShown.size() > nPaints; })) << nQuadrant;
    }
    // A burst straight after a paint.
    for (const int nQuadrant : {QuadrantRed, QuadrantAll, QuadrantBlue})
        m_view.LightQuadrant(nQuadrant);
    EXPECT_TRUE(testsupport::WaitForEvents([&] { return watch.m_vecShown.back() == QuadrantBlue; }));
}

// A paint of the whole view while a change waits for its frame has shown
// that change: no second paint follows for it.
TEST_F(ChildViewTest, AWholePaintWhileAChangeWaitsForItsFrameLeavesNoRepaintBehind)
{
    CPaintWatch watch(&m_view);
    m_parent.show();
    ASSERT_TRUE(testsupport::WaitForEvents([&] { return !watch.m_vecShown.empty(); }));
    // A slow screen, so that the change below surely falls within a frame.
    CFramePacer::SetRefreshRateOverride(20.0);
    m_view.repaint();
    const size_t nPaints = watch.m_vecShown.size();
    m_view.LightQuadrant(QuadrantGreen);
    m_view.repaint();
    EXPECT_TRUE(testsupport::WaitForEvents([&] { return !m_view.IsRepaintPending(); }));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    CFramePacer::SetRefreshRateOverride(0.0);
    EXPECT_EQ(watch.m_vecShown.size(), nPaints + 1);
    EXPECT_EQ(watch.m_vecShown.back(), int(QuadrantGreen));
}

// Between changes no timer of the view runs: the frame pacer is stopped
// once its paint is done, a lit quadrant right after a paint starts it for
// the next frame, and that frame's paint stops it again.
TEST_F(ChildViewTest, TheFramePacerRunsOnlyWhileAChangeWaitsForItsFrame)
{
    CPaintWatch watch(&m_view);
    m_parent.show();
    ASSERT_TRUE(testsupport::WaitForEvents([&] { return !watch.m_vecShown.empty() && !m_view.IsRepaintPending(); }));
    // A slow screen, so that the change below surely falls within a frame.
    CFramePacer::SetRefreshRateOverride(20.0);
    QElapsedTimer sincePaint;
    m_view.repaint();
    sincePaint.start();
    EXPECT_FALSE(m_view.IsRepaintPending()) << "a paint that showed everything leaves nothing to wait for";
    const size_t nPaints = watch.m_vecShown.size();
    m_view.LightQuadrant(QuadrantRed);
    // A machine so slow that the frame is over by now repaints at once.
    if (sincePaint.elapsed() < 40)
        EXPECT_TRUE(m_view.IsRepaintPending()) << "the change waits for the next frame";
    EXPECT_TRUE(testsupport::WaitForEvents([&] { return watch.m_vecShown.size() > nPaints; }));
    EXPECT_EQ(watch.m_vecShown.back(), int(QuadrantRed));
    EXPECT_FALSE(m_view.IsRepaintPending()) << "the pacer runs on after its frame";
    CFramePacer::SetRefreshRateOverride(0.0);
}

// A paint repaints only what a change touched; what is then on screen is
// still the whole new board, from every light straight to every other.
TEST_F(ChildViewTest, AfterEveryChangeOfLightTheScreenShowsExactlyTheNewBoard)
{
    QImage expected[6];
    for (int i = 0; i < 6; ++i)
        expected[i] = ExpectedCanvas(i);
    m_view.resize(1280, 768);
    CPaintWatch watch(&m_view);
    m_parent.show();
    ASSERT_TRUE(testsupport::WaitForEvents([&] { return !watch.m_vecShown.empty(); }));
    const auto screen = [&] {
        return QGuiApplication::primaryScreen()->grabWindow(m_parent.winId()).toImage().convertToFormat(
            QImage::Format_RGB32);
    };
    ASSERT_EQ(screen().size(), QSize(1280, 768));
    const auto light = [&](int nQuadrant) {
        const size_t nPaints = watch.m_vecShown.size();
        m_view.LightQuadrant(nQuadrant);
        return testsupport::WaitForEvents([&] { return watch.m_vecShown.size() > nPaints; });
    };
    for (int nFrom = 0; nFrom < 6; ++nFrom) {
        for (int nTo = 0; nTo < 6; ++nTo) {
            if (nFrom == nTo)
                continue;
            if (m_view.m_nLitQuadrant != nFrom) {
                ASSERT_TRUE(light(nFrom)) << nFrom;
            }
            ASSERT_TRUE(light(nTo)) << nFrom << " -> " << nTo;
            EXPECT_TRUE(screen() == expected[nTo]) << nFrom << " -> " << nTo;
        }
    }
}
