// What stamps draw into during a save: the pixels of the picture as shown, or
// only a window of them (a JPEG save decodes only the blocks its bands cover),
// or no pixels at all, when a save first asks where the bands will go. It
// also keeps the room taken at the top and bottom edges, so that a second
// stamp at one edge goes next to the first instead of over it.
#pragma once

#include <optional>
#include <vector>

#include "Bitmap.h"

// A rectangle in pixels of the picture as shown; right and bottom excluded.
struct StampBand {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class CStampCanvas {
public:
    // The whole picture.
    explicit CStampCanvas(CBitmap& pixels)
        : pixels_(&pixels), width_(pixels.Width()), height_(pixels.Height())
    {
    }
    // `pixels` holds the part of a `width` x `height` picture whose top-left
    // pixel is (left, top).
    CStampCanvas(CBitmap& pixels, int width, int height, int left, int top)
        : pixels_(&pixels), width_(width), height_(height), left_(left), top_(top)
    {
    }
    // No pixels: stamps are placed (Bands, the edges) but nothing is drawn.
    static CStampCanvas Placing(int width, int height) { return CStampCanvas(width, height); }

    CBitmap* Pixels() const { return pixels_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Left() const { return left_; }
    int Top() const { return top_; }

    // Where the next stamp at the top starts and the next at the bottom ends;
    // empty until a stamp is placed there (the layout's own edge is used).
    std::optional<double> NextTop, NextBottom;
    // Everything each stamp may have changed, in the order they were placed.
    std::vector<StampBand> Bands;

private:
    CStampCanvas(int width, int height) : width_(width), height_(height) {}
    CBitmap* pixels_ = nullptr;
    int width_ = 0, height_ = 0, left_ = 0, top_ = 0;
};
