// Drawing one stamp: a translucent rounded band (official layout) or box
// (personal layout) with one line of text, at the top or bottom of the
// canvas, sized in proportion to the picture and scaled down as a whole when
// the text would not fit. Drawing goes through QPainter on a QImage that
// shares the canvas's memory, so a QGuiApplication must exist in the process
// (in a process without a display, create it with the "offscreen" platform:
// set QT_QPA_PLATFORM=offscreen before constructing it).
#pragma once

#include <functional>
#include <string>

#include <QColor>
#include <QSizeF>
#include <QString>

#include "Bitmap.h"
#include "HResult.h"
#include "SettingsStore.h"
#include "StampCanvas.h"

enum class StampLayout { Official = 1, Personal = 2 };

// The font family of every stamp, chosen once per process: the first
// available of "Segoe UI Black", "Segoe UI", "Calibri", "Times New Roman",
// "Arial", "Liberation Sans", "DejaVu Sans", then the system's sans family.
// Empty (and `error` set) when none can be had or no QGuiApplication exists.
QString ChooseStampFont(std::wstring* error);
// The choice itself, over any test of availability.
QString ChooseFontFamily(const std::function<bool(const QString&)>& available, const QString& systemFamily);

extern const wchar_t* const NoStampFontMessage;

struct StampColours {
    QColor Background;
    QColor Text;
};
// "LB-DT" light band, dark text; "DB-LT" (and any other value) dark band, light text.
StampColours ColoursFor(const std::wstring& setting);

// What one drawing did, for the caller and the tests.
struct StampGeometry {
    float FontSize = 0;   // pixels, before the fit scale
    double Scale = 1;     // the fit scale s
    QSizeF TextSize;      // unscaled text width and height
    double Left = 0, Top = 0, Right = 0, Bottom = 0;  // the band or box on the canvas, after scaling
};

struct StampStyle {
    StampLayout Layout = StampLayout::Official;
    bool AtTop = false;
    StampColours Colours = ColoursFor(L"DB-LT");
    bool RightToLeft = false;  // reading order of the text (titles)
};

// Draws `text` onto `canvas` with the process's stamp font, next to the
// stamps already at the same edge, and notes the band on the canvas. Nothing
// is drawn outside the band and a small margin round it (glyphs that reach
// past the band's edge).
HRESULT DrawStamp(CStampCanvas& canvas, const std::wstring& text, const StampStyle& style,
                  StampGeometry* geometry = nullptr);
// The same on a whole picture with no other stamp.
HRESULT DrawStamp(CBitmap& canvas, const std::wstring& text, const StampStyle& style, StampGeometry* geometry = nullptr);
