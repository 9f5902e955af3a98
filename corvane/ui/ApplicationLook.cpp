#include "ApplicationLook.h"

#include <QApplication>
#include <QSettings>
#include <QStyleFactory>

namespace {

struct LookColors {
    int Look;
    QRgb Window, Base, AlternateBase, Text, Button, Highlight, HighlightedText;
};

// Window, base, alternate base, text, button, highlight, highlighted text.
const LookColors kLooks[] = {
    {211, 0xdfe9f5, 0xffffff, 0xeef4fb, 0x15283f, 0xd5e3f3, 0x3d7cc9, 0xffffff},  // blue
    {212, 0x3a3d42, 0x2b2d31, 0x34373c, 0xe8e8e8, 0x4a4e55, 0xe0a030, 0x1a1a1a},  // black
    {213, 0xe7e9ed, 0xffffff, 0xf1f2f5, 0x202328, 0xdcdfe4, 0x6b7b8f, 0xffffff},  // silver
    {214, 0xd8eef0, 0xffffff, 0xeaf7f8, 0x10363a, 0xc9e6ea, 0x2a9aa6, 0xffffff},  // aqua
    {215, 0xf0f0f0, 0xffffff, 0xf7f7f7, 0x000000, 0xe9e9e9, 0x3399ff, 0xffffff},  // light
};

const LookColors& ColorsOf(int look)
{
    for (const LookColors& colors : kLooks)
        if (colors.Look == look) return colors;
    return kLooks[0];
}

}  // namespace

QPalette ApplicationLook::PaletteOf(int look)
{
    const LookColors& c = ColorsOf(look);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(c.Window));
    palette.setColor(QPalette::WindowText, QColor(c.Text));
    palette.setColor(QPalette::Base, QColor(c.Base));
    palette.setColor(QPalette::AlternateBase, QColor(c.AlternateBase));
    palette.setColor(QPalette::Text, QColor(c.Text));
    palette.setColor(QPalette::Button, QColor(c.Button));
    palette.setColor(QPalette::ButtonText, QColor(c.Text));
    palette.setColor(QPalette::ToolTipBase, QColor(c.Base));
    palette.setColor(QPalette::ToolTipText, QColor(c.Text));
    palette.setColor(QPalette::Highlight, QColor(c.Highlight));
    palette.setColor(QPalette::HighlightedText, QColor(c.HighlightedText));
    palette.setColor(QPalette::PlaceholderText, QColor(c.Text).lighter(look == 212 ? 60 : 250));
    const QColor disabled = QColor(c.Text).lighter(look == 212 ? 60 : 300);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    return palette;
}

int ApplicationLook::Stored(const QSettings& settings)
{
    bool ok = false;
    const int look = settings.value(QStringLiteral("ApplicationLook")).toInt(&ok);
    return ok && look >= First && look <= Last ? look : Default;
}

void ApplicationLook::Store(QSettings& settings, int look)
{
    settings.setValue(QStringLiteral("ApplicationLook"), look);
}

void ApplicationLook::Apply(int look)
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    QApplication::setPalette(PaletteOf(look));
}
