// Stamps at one edge of a picture are laid next to each other in the order
// they are drawn; a canvas that holds only part of the picture gets the
// same pixels the whole picture would get there.
#include <gtest/gtest.h>

#include <cstring>

#include "StampRenderer.h"

namespace {

CBitmap Grey(int w, int h)
{
    CBitmap canvas;
    EXPECT_EQ(canvas.Allocate(w, h, nullptr), S_OK);
    canvas.Fill(128, 128, 128, 255);
    return canvas;
}

struct Stacking {
    const char* Name;
    StampLayout Layout;
    bool FirstAtTop, SecondAtTop;
};

void PrintTo(const Stacking& s, std::ostream* os) { *os << s.Name; }

class StampStackingTest : public ::testing::TestWithParam<Stacking> {};

TEST_P(StampStackingTest, SecondStampGoesNextToTheFirst)
{
    const Stacking& c = GetParam();
    CBitmap pixels = Grey(600, 400);
    CStampCanvas canvas(pixels);
    StampStyle first, second;
    first.Layout = second.Layout = c.Layout;
    first.AtTop = c.FirstAtTop;
    second.AtTop = c.SecondAtTop;
    StampGeometry a, b, alone;
    ASSERT_EQ(DrawStamp(canvas, L"Lat 48.856614\u00B0 N", first, &a), S_OK);
    ASSERT_EQ(DrawStamp(canvas, L"Site 14", second, &b), S_OK);
    CBitmap fresh = Grey(600, 400);
    ASSERT_EQ(DrawStamp(fresh, L"Site 14", second, &alone), S_OK);
    ASSERT_EQ(canvas.Bands.size(), 2u);

    if (c.FirstAtTop != c.SecondAtTop) {
        // Other edge: placed as if it were alone.
        EXPECT_DOUBLE_EQ(b.Top, alone.Top);
        EXPECT_DOUBLE_EQ(b.Bottom, alone.Bottom);
        return;
    }
    // Same edge: the second touches the first on its inner side, never over it.
    if (c.SecondAtTop)
        EXPECT_NEAR(b.Top, a.Bottom, 1e-9);
    else
        EXPECT_NEAR(b.Bottom, a.Top, 1e-9);
    EXPECT_TRUE(b.Bottom <= a.Top + 1e-9 || b.Top >= a.Bottom - 1e-9) << "the stamps overlap";
    EXPECT_NEAR(b.Bottom - b.Top, alone.Bottom - alone.Top, 1e-9);
}

const Stacking kStackings[] = {
    {"OfficialBottomTwice", StampLayout::Official, false, false},
    {"OfficialTopTwice", StampLayout::Official, true, true},
    {"PersonalBottomTwice", StampLayout::Personal, false, false},
    {"PersonalTopTwice", StampLayout::Personal, true, true},
    {"OfficialTopThenBottom", StampLayout::Official, true, false},
    {"PersonalBottomThenTop", StampLayout::Personal, false, true},
};

INSTANTIATE_TEST_SUITE_P(Edges, StampStackingTest, ::testing::ValuesIn(kStackings),
                         [](const auto& info) { return std::string(info.param.Name); });

// Placing without pixels notes the bands a drawing then covers.
TEST(StampCanvas, PlacingNotesWhatDrawingCovers)
{
    CStampCanvas placing = CStampCanvas::Placing(600, 400);
    StampStyle style;
    ASSERT_EQ(DrawStamp(placing, L"Lat 48.856614\u00B0 N", style, nullptr), S_OK);
    ASSERT_EQ(placing.Bands.size(), 1u);
    const StampBand reach = placing.Bands[0];

    CBitmap pixels = Grey(600, 400);
    ASSERT_EQ(DrawStamp(pixels, L"Lat 48.856614\u00B0 N", style, nullptr), S_OK);
    for (int y = 0; y < 400; ++y) {
        const bool inside = y >= reach.Top && y < reach.Bottom;
        bool changed = false;
        for (int x = 0; x < 600 && !changed; ++x) changed = pixels.Row(y)[x * 4] != 128;
        if (!inside) {
            EXPECT_FALSE(changed) << "row " << y << " drawn outside the noted band";
        }
    }
}

struct Window {
    const char* Name;
    int Left, Top, Width, Height;
    bool AtTop;
};

void PrintTo(const Window& w, std::ostream* os) { *os << w.Name; }

class StampWindowTest : public ::testing::TestWithParam<Window> {};

TEST_P(StampWindowTest, WindowGetsThePixelsOfTheWholeDrawing)
{
    const Window& w = GetParam();
    StampStyle style;
    style.AtTop = w.AtTop;
    CBitmap whole = Grey(600, 400);
    ASSERT_EQ(DrawStamp(whole, L"Lat 48.856614\u00B0 N", style, nullptr), S_OK);
    CBitmap part = Grey(w.Width, w.Height);
    CStampCanvas window(part, 600, 400, w.Left, w.Top);
    ASSERT_EQ(DrawStamp(window, L"Lat 48.856614\u00B0 N", style, nullptr), S_OK);
    int differing = 0;
    for (int y = 0; y < w.Height; ++y)
        differing += std::memcmp(part.Row(y), whole.Row(w.Top + y) + w.Left * 4, size_t(w.Width) * 4) != 0;
    EXPECT_EQ(differing, 0);
}

const Window kWindows[] = {
    {"BottomRows", 0, 368, 600, 32, false},
    {"TopRowsOffsetColumns", 48, 0, 304, 40, true},
    {"BottomRightCorner", 512, 352, 88, 48, false},
};

INSTANTIATE_TEST_SUITE_P(Windows, StampWindowTest, ::testing::ValuesIn(kWindows),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
