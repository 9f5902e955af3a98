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

// Where and how large one stamp is drawn: the arithmetic of both layouts.
struct StampPlan {
    StampGeometry Geometry;
    QFont Font;
    QRectF Band, TextBox;
    QTransform Transform;  // the fit scale about the anchor point
};

StampPlan PlanStamp(const QImage& image, const QString& family, const QString& text, const StampStyle& style)
{
    const double w = image.width(), h = image.height();
    const bool official = style.Layout == StampLayout::Official;
    const LayoutConstants& layout = official ? kOfficial : kPersonal;
    StampPlan plan;
    StampGeometry& g = plan.Geometry;
    g.FontSize = float(std::sqrt(2.0)) * float(h) * float(layout.FontFraction);
    const unsigned available = official ? image.width() : static_cast<unsigned>(w * layout.WidthFraction);
    plan.Font = StampFont(family, layout, g.FontSize, image);
    g.TextSize = MeasureText(QFontMetricsF(plan.Font, &image), text);
    const double tw = g.TextSize.width(), th = g.TextSize.height();
    const unsigned needed = static_cast<unsigned>(2 * float(kMarginFraction * available) + tw);
    if (needed > available) g.Scale = double(available) / needed;
    const double s = g.Scale;

    // The band is anchored at the picture's edge, the box at its own corner;
    // the scale keeps that point where it is.
    const double x0 = official ? 0 : kInsetFraction * w;
    const double y0 =
        official ? (style.AtTop ? 0 : h - th) : float(style.AtTop ? kInsetFraction * h : kBottomFraction * h - th);
    const double cx = official ? 0 : x0, cy = official ? (style.AtTop ? 0 : h) : y0;
    plan.Band = QRectF(x0, y0, official ? w / s : tw, th);
    plan.TextBox = official ? QRectF(0, y0, std::max(tw, w / s), th) : plan.Band;
    plan.Transform = QTransform(s, 0, 0, s, cx - s * cx, cy - s * cy);
    const QRectF placed = plan.Transform.mapRect(plan.Band);
    g.Left = placed.left(), g.Top = placed.top(), g.Right = placed.right(), g.Bottom = placed.bottom();
    return plan;
}

}  // namespace

HRESULT DrawStamp(CBitmap& canvas, const std::wstring& text, const StampStyle& style, StampGeometry* geometry)
{
    const QString family = ChooseStampFont(nullptr);
    if (family.isEmpty() || canvas.Empty()) return E_FAIL;
    // The image shares the canvas's memory: BGRA premultiplied is Qt's ARGB32 premultiplied.
    QImage image(canvas.Data(), canvas.Width(), canvas.Height(), canvas.Stride(), QImage::Format_ARGB32_Premultiplied);
    const QString qtext = QString::fromStdWString(text);
    const StampPlan plan = PlanStamp(image, family, qtext, style);
    const double radius = kRadiusFraction * plan.Geometry.TextSize.height();

    QPainter painter(&image);
    if (!painter.isActive()) return E_FAIL;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setTransform(plan.Transform);
    painter.setPen(Qt::NoPen);
    painter.setBrush(style.Colours.Background);
    painter.drawRoundedRect(plan.Band, radius, radius, Qt::AbsoluteSize);
    painter.setFont(plan.Font);
    painter.setPen(style.Colours.Text);
    painter.setLayoutDirection(style.RightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    const bool official = style.Layout == StampLayout::Official;
    painter.drawText(plan.TextBox, (official ? Qt::AlignHCenter : Qt::AlignLeading) | Qt::AlignVCenter, qtext);
    painter.resetTransform();
    if (geometry) *geometry = plan.Geometry;
    return painter.end() ? S_OK : E_FAIL;
}
