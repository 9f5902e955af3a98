#include "StampRenderer.h"

#include <cmath>
#include <mutex>

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTransform>

#include "StringUtil.h"

const wchar_t* const NoStampFontMessage = L"Cannot find proper font on this computer!";

namespace {

const char* const kPreferredFamilies[] = {"Segoe UI Black", "Segoe UI",        "Calibri",    "Times New Roman",
                                          "Arial",          "Liberation Sans", "DejaVu Sans"};

// Constants of the two layouts, as fractions of the canvas.
struct LayoutConstants {
    double FontFraction;   // font size = sqrt(2) x this x height
    double WidthFraction;  // available width
    QFont::Weight Weight;
};
const LayoutConstants kOfficial = {0.02, 1.0, QFont::Bold};
const LayoutConstants kPersonal = {0.0175, 0.82, QFont::Normal};
constexpr double kMarginFraction = 0.005;  // of the available width, each side
constexpr double kRadiusFraction = 0.15;   // of the text height
constexpr double kInsetFraction = 0.03;    // personal box origin from the left and top edges
constexpr double kBottomFraction = 0.97;   // personal box bottom at the bottom placement

QFont StampFont(const QString& family, const LayoutConstants& layout, float pixels, const QPaintDevice& device)
{
    QFont font(family);
    font.setWeight(layout.Weight);
    font.setStyle(QFont::StyleNormal);
    font.setStretch(QFont::Unstretched);
    font.setHintingPreference(QFont::PreferNoHinting);
    // QFont takes whole pixels only; a point size at the device's resolution is exact.
    font.setPointSizeF(pixels * 72.0 / device.logicalDpiY());
    return font;
}

// Width of the widest line and height of all lines: one unwrapped layout.
QSizeF MeasureText(const QFontMetricsF& metrics, const QString& text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    double width = 0;
    for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
    const double height = lines.size() * metrics.height() + (lines.size() - 1) * metrics.leading();
    return QSizeF(width, height);
}

}  // namespace

QString ChooseFontFamily(const std::function<bool(const QString&)>& available, const QString& systemFamily)
{
    for (const char* family : kPreferredFamilies)
        if (available(QString::fromLatin1(family))) return QString::fromLatin1(family);
    if (!systemFamily.isEmpty() && available(systemFamily)) return systemFamily;
    return QString();
}

QString ChooseStampFont(std::wstring* error)
{
    static std::mutex lock;
    static QString chosen;
    std::lock_guard<std::mutex> guard(lock);
    if (chosen.isEmpty() && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        const QString system = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
        chosen = ChooseFontFamily([](const QString& f) { return QFontDatabase::hasFamily(f); }, system);
    }
    if (chosen.isEmpty() && error) *error = NoStampFontMessage;
    return chosen;
}

StampColours ColoursFor(const std::wstring& setting)
{
    if (setting == L"LB-DT") return {QColor::fromRgbF(213 / 255.0f, 220 / 255.0f, 228 / 255.0f, 0.7f), Qt::black};
    return {QColor::fromRgbF(0, 0, 0, 0.7f), Qt::white};
}

namespace {

// Room round the band that the drawing may still reach (glyph parts past
// the line's height, antialiasing), as a fraction of the band's height.
constexpr double kReachFraction = 0.25;

// Where and how large one stamp is drawn: the arithmetic of both layouts.
struct StampPlan {
    StampGeometry Geometry;
    QFont Font;
    QRectF Band, TextBox;
    QTransform Transform;  // the fit scale about the anchor point
};

// `metrics` gives the resolution fonts are measured at (any image: they all
// have the same); `canvas` the picture's size and the edges already taken.
StampPlan PlanStamp(const CStampCanvas& canvas, const QPaintDevice& metrics, const QString& family,
                    const QString& text, const StampStyle& style)
{
    const double w = canvas.Width(), h = canvas.Height();
    const bool official = style.Layout == StampLayout::Official;
    const LayoutConstants& layout = official ? kOfficial : kPersonal;
    StampPlan plan;
    StampGeometry& g = plan.Geometry;
    g.FontSize = float(std::sqrt(2.0)) * float(h) * float(layout.FontFraction);
    const unsigned available = official ? canvas.Width() : static_cast<unsigned>(w * layout.WidthFraction);
    plan.Font = StampFont(family, layout, g.FontSize, metrics);
    g.TextSize = MeasureText(QFontMetricsF(plan.Font, &metrics), text);
    const double tw = g.TextSize.width(), th = g.TextSize.height();
    const unsigned needed = static_cast<unsigned>(2 * float(kMarginFraction * available) + tw);
    if (needed > available) g.Scale = double(available) / needed;
    const double s = g.Scale;

    // The band is anchored at the picture's edge, the box at its own corner;
    // the scale keeps that point where it is. A stamp placed earlier at the
    // same edge moves the edge to the far side of that stamp.
    const double x0 = official ? 0 : kInsetFraction * w;
    double y0 = 0, cy = 0;
    if (official) {
        y0 = style.AtTop ? canvas.NextTop.value_or(0) : canvas.NextBottom.value_or(h) - th;
        cy = style.AtTop ? y0 : canvas.NextBottom.value_or(h);
    } else {
        y0 = style.AtTop ? canvas.NextTop.value_or(float(kInsetFraction * h))
                         : (canvas.NextBottom ? *canvas.NextBottom - th : float(kBottomFraction * h - th));
        cy = y0;
    }
    const double cx = x0;
    plan.Band = QRectF(x0, y0, official ? w / s : tw, th);
    plan.TextBox = official ? QRectF(0, y0, std::max(tw, w / s), th) : plan.Band;
    plan.Transform = QTransform(s, 0, 0, s, cx - s * cx, cy - s * cy);
    const QRectF placed = plan.Transform.mapRect(plan.Band);
    g.Left = placed.left(), g.Top = placed.top(), g.Right = placed.right(), g.Bottom = placed.bottom();
    return plan;
}

// The band with the room the drawing may reach past it.
QRectF Reach(const StampGeometry& g)
{
    const double pad = 2 + kReachFraction * (g.Bottom - g.Top);
    return QRectF(QPointF(g.Left - pad, g.Top - pad), QPointF(g.Right + pad, g.Bottom + pad));
}

void NoteBand(CStampCanvas& canvas, const StampGeometry& g, bool atTop)
{
    const QRectF reach = Reach(g);
    canvas.Bands.push_back({reach.left(), reach.top(), reach.right(), reach.bottom()});
    if (atTop)
        canvas.NextTop = g.Bottom;
    else
        canvas.NextBottom = g.Top;
}

}  // namespace

HRESULT DrawStamp(CStampCanvas& canvas, const std::wstring& text, const StampStyle& style, StampGeometry* geometry)
{
    const QString family = ChooseStampFont(nullptr);
    if (family.isEmpty() || canvas.Width() <= 0 || canvas.Height() <= 0) return E_FAIL;
    CBitmap* pixels = canvas.Pixels();
    if (pixels && pixels->Empty()) return E_FAIL;
    const QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    const QString qtext = QString::fromStdWString(text);
    const StampPlan plan = PlanStamp(canvas, probe, family, qtext, style);
    if (geometry) *geometry = plan.Geometry;
    const QRectF reach = Reach(plan.Geometry);
    NoteBand(canvas, plan.Geometry, style.AtTop);
    if (!pixels) return S_OK;

    // The image shares the canvas's memory: BGRA premultiplied is Qt's ARGB32 premultiplied.
    QImage image(pixels->Data(), pixels->Width(), pixels->Height(), pixels->Stride(),
                 QImage::Format_ARGB32_Premultiplied);
    const double radius = kRadiusFraction * plan.Geometry.TextSize.height();
    const QTransform window = QTransform::fromTranslate(-canvas.Left(), -canvas.Top());
    QPainter painter(&image);
    if (!painter.isActive()) return E_FAIL;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    // Whoever decoded only part of the picture decoded the reach of the band.
    painter.setClipRect(window.mapRect(reach));
    painter.setTransform(plan.Transform * window);
    painter.setPen(Qt::NoPen);
    painter.setBrush(style.Colours.Background);
    painter.drawRoundedRect(plan.Band, radius, radius, Qt::AbsoluteSize);
    painter.setFont(plan.Font);
    painter.setPen(style.Colours.Text);
    painter.setLayoutDirection(style.RightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    const bool official = style.Layout == StampLayout::Official;
    painter.drawText(plan.TextBox, (official ? Qt::AlignHCenter : Qt::AlignLeading) | Qt::AlignVCenter, qtext);
    painter.resetTransform();
    return painter.end() ? S_OK : E_FAIL;
}

HRESULT DrawStamp(CBitmap& canvas, const std::wstring& text, const StampStyle& style, StampGeometry* geometry)
{
    CStampCanvas whole(canvas);
    return DrawStamp(whole, text, style, geometry);
}
