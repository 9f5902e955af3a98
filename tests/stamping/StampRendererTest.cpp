#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <set>

#include <QFont>
#include <QFontMetricsF>
#include <QImage>

#include "StampRenderer.h"

namespace {

CBitmap Canvas(int w, int h, std::uint8_t grey = 255)
{
    CBitmap canvas;
    EXPECT_EQ(canvas.Allocate(w, h, nullptr), S_OK);
    canvas.Fill(grey, grey, grey, 255);
    return canvas;
}

// The rows and columns where the canvas differs from its fill.
struct Touched {
    int Top = -1, Bottom = -1, Left = -1, Right = -1;
};

Touched FindTouched(const CBitmap& canvas, std::uint8_t grey = 255)
{
    Touched t;
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            const std::uint8_t* p = canvas.Row(y) + x * 4;
            if (p[0] == grey && p[1] == grey && p[2] == grey) continue;
            if (t.Top < 0) t.Top = y;
            t.Bottom = y;
            if (t.Left < 0 || x < t.Left) t.Left = x;
            t.Right = std::max(t.Right, x);
        }
    return t;
}

// The line height the stamp font has at `pixels`, measured independently of the renderer.
double LineHeight(float pixels, QFont::Weight weight)
{
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    QFont font(ChooseStampFont(nullptr));
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPointSizeF(pixels * 72.0 / device.logicalDpiY());
    return QFontMetricsF(font, &device).height();
}

TEST(StampRenderer, OfficialBandSpansTheWidthAtTheBottom)
{
    CBitmap canvas = Canvas(4000, 3000);
    StampGeometry g;
    ASSERT_EQ(DrawStamp(canvas, L"Lat 48.856614\u00B0 N", StampStyle(), &g), S_OK);
    EXPECT_NEAR(g.FontSize, 84.85, 0.01);
    EXPECT_EQ(g.Scale, 1.0);
    const double line = LineHeight(g.FontSize, QFont::Bold);
    EXPECT_DOUBLE_EQ(g.TextSize.height(), line);
    const Touched t = FindTouched(canvas);
    EXPECT_EQ(t.Left, 0);
    EXPECT_EQ(t.Right, 3999);
    EXPECT_EQ(t.Bottom, 2999);
    EXPECT_NEAR(t.Top, 3000 - line, 1.0);
}

TEST(StampRenderer, WideTextShrinksTheBandNotItsWidth)
{
    CBitmap canvas = Canvas(600, 400);
    StampGeometry g;
    const std::wstring text(200, L'W');
    StampStyle top;
    top.AtTop = true;
    ASSERT_EQ(DrawStamp(canvas, text, top, &g), S_OK);
    ASSERT_GT(g.TextSize.width(), 600);
    EXPECT_DOUBLE_EQ(g.Scale, 600.0 / std::trunc(g.TextSize.width() + 0.01 * 600));
    EXPECT_DOUBLE_EQ(g.Left, 0);
    EXPECT_NEAR(g.Right, 600, 1e-9);
    const Touched t = FindTouched(canvas);
    EXPECT_EQ(t.Left, 0);
    EXPECT_EQ(t.Right, 599);
    EXPECT_EQ(t.Top, 0);
    EXPECT_NEAR(t.Bottom + 1, g.TextSize.height() * g.Scale, 1.0);
}

TEST(StampRenderer, PersonalBoxSitsInTheCorner)
{
    CBitmap canvas = Canvas(1000, 800);
    StampStyle personal;
    personal.Layout = StampLayout::Personal;
    StampGeometry g;
    ASSERT_EQ(DrawStamp(canvas, L"Site 14", personal, &g), S_OK);
    EXPECT_NEAR(g.FontSize, 19.80, 0.01);
    EXPECT_DOUBLE_EQ(g.Left, 30);
    EXPECT_NEAR(g.Bottom, 776, 1e-3);
    EXPECT_NEAR(g.Right - g.Left, g.TextSize.width(), 1e-9);
    const Touched t = FindTouched(canvas);
    EXPECT_EQ(t.Left, 30);
    EXPECT_EQ(t.Bottom, 775);
}

TEST(StampRenderer, PersonalBoxScaledToEightyTwoPercent)
{
    CBitmap canvas = Canvas(1000, 800);
    StampStyle personal;
    personal.Layout = StampLayout::Personal;
    StampGeometry g;
    ASSERT_EQ(DrawStamp(canvas, std::wstring(150, L'M'), personal, &g), S_OK);
    const double needed = std::trunc(g.TextSize.width() + 2 * 0.005 * 820);
    EXPECT_DOUBLE_EQ(g.Scale, 820 / needed);
    EXPECT_DOUBLE_EQ(g.Left, 30);  // scaled about its own corner
    EXPECT_NEAR(g.Right - g.Left, g.TextSize.width() * g.Scale, 1e-6);
    EXPECT_LE(g.Right, 30 + 820);
}

TEST(StampRenderer, EmptyTextStillDrawsOneLine)
{
    CBitmap official = Canvas(800, 600);
    StampGeometry g;
    ASSERT_EQ(DrawStamp(official, L"", StampStyle(), &g), S_OK);
    EXPECT_EQ(g.TextSize.width(), 0);
    EXPECT_DOUBLE_EQ(g.TextSize.height(), LineHeight(g.FontSize, QFont::Bold));
    EXPECT_EQ(FindTouched(official).Right, 799);

    CBitmap personal = Canvas(800, 600);
    StampStyle style;
    style.Layout = StampLayout::Personal;
    ASSERT_EQ(DrawStamp(personal, L"", style, &g), S_OK);
    EXPECT_EQ(g.Right - g.Left, 0);
    EXPECT_GT(g.Bottom - g.Top, 0);
}

struct ColourCase {
    const wchar_t* Setting;
    int B, G, R;  // the band over white, away from the text
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << std::string(c.Setting, c.Setting + std::wcslen(c.Setting)); }

class StampColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(StampColourTest, BandOverWhite)
{
    CBitmap canvas = Canvas(1000, 500);
    StampStyle style;
    style.Colours = ColoursFor(GetParam().Setting);
    StampGeometry g;
    ASSERT_EQ(DrawStamp(canvas, L"x", style, &g), S_OK);
    // Middle of the band's height, a fifth in from the left: no text, no corner.
    const std::uint8_t* p = canvas.Row(static_cast<int>((g.Top + g.Bottom) / 2)) + 200 * 4;
    EXPECT_NEAR(p[0], GetParam().B, 1);
    EXPECT_NEAR(p[1], GetParam().G, 1);
    EXPECT_NEAR(p[2], GetParam().R, 1);
    EXPECT_EQ(p[3], 255);
}

// 70% of the band colour over 30% of white.
INSTANTIATE_TEST_SUITE_P(Settings, StampColourTest,
                         ::testing::Values(ColourCase{L"DB-LT", 77, 77, 77}, ColourCase{L"LB-DT", 236, 231, 226},
                                           ColourCase{L"purple", 77, 77, 77}));

struct FontCase {
    std::set<QString> Installed;
    QString Expected;
};

void PrintTo(const FontCase& c, std::ostream* os) { *os << c.Installed.size() << " families"; }

class FontChoiceTest : public ::testing::TestWithParam<FontCase> {};

TEST_P(FontChoiceTest, FirstAvailableFamily)
{
    const auto& installed = GetParam().Installed;
    EXPECT_EQ(ChooseFontFamily([&](const QString& f) { return installed.count(f) > 0; }, "Noto Sans"),
              GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Systems, FontChoiceTest,
    ::testing::Values(FontCase{{"Segoe UI Black", "Segoe UI", "Arial"}, "Segoe UI Black"},
                      FontCase{{"Segoe UI", "Arial"}, "Segoe UI"}, FontCase{{"Arial"}, "Arial"},
                      FontCase{{"DejaVu Sans", "Liberation Sans"}, "Liberation Sans"},
                      FontCase{{"Noto Sans"}, "Noto Sans"}, FontCase{{}, ""}));

}  // namespace
