// What a map of a given size in pixels shows: a centre in world units, an
// integer zoom level, and the conversions between screen pixels, world
// units and coordinates. Horizontally the world repeats, so the centre's x
// may be any number and a point is drawn at every copy of the world the
// view reaches; vertically the view stays within the poles of the square
// world when it is tall enough to fill the view.
#pragma once

#include <vector>

#include "WebMercator.h"

struct ScreenPoint {
    double X = 0;
    double Y = 0;
};

// A rectangle in world units (x not wrapped).
struct WorldRect {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Intersects(const WorldRect& o) const
    {
        return Left <= o.Right && o.Left <= Right && Top <= o.Bottom && o.Top <= Bottom;
    }
};

// The tiles a view needs: columns may run beyond the world (wrap them), rows do not.
struct TileRange {
    int Zoom = 0;
    int FirstX = 0, LastX = -1;
    int FirstY = 0, LastY = -1;
};

class CMapViewport {
public:
    void SetSize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }

    int Zoom() const { return zoom_; }
    void SetZoom(int zoom);
    WebMercator::WorldPoint Center() const { return center_; }
    void SetCenter(const WebMercator::WorldPoint& center);
    void SetCenter(const WebMercator::GeoPoint& center) { SetCenter(WebMercator::Project(center)); }
    WebMercator::GeoPoint CenterGeo() const { return WebMercator::Unproject(center_); }

    // Moves what is shown by a drag of (dx, dy) pixels: the map follows the pointer.
    void PanBy(double dx, double dy);
    // Changes the zoom keeping the point under (x, y) where it is.
    void ZoomAbout(int zoom, double x, double y);
    // The highest zoom (at most `maxZoom`) at which the rectangle fits
    // inside the view less `margin` pixels on each side, centred on it.
    void Fit(const WorldRect& bounds, int maxZoom, int margin);

    double Scale() const { return WebMercator::WorldPixels(zoom_); }
    // The screen position of a world point at the copy of the world nearest the centre.
    ScreenPoint ToScreen(const WebMercator::WorldPoint& point) const;
    // The screen position of a world point taken as it is (no copy chosen).
    ScreenPoint ToScreenUnwrapped(const WebMercator::WorldPoint& point) const;
    // The world point (x not wrapped) under a screen position.
    WebMercator::WorldPoint ToWorld(double x, double y) const;
    WebMercator::GeoPoint ToGeo(double x, double y) const { return WebMercator::Unproject(ToWorld(x, y)); }
    // The world rectangle the view covers (x not wrapped).
    WorldRect Visible() const;
    // The whole-world offsets k for which [left + k, right + k] meets the view.
    std::vector<int> WorldCopies(double left, double right) const;
    TileRange VisibleTiles() const;
    double MetersPerPixel() const { return WebMercator::MetersPerPixel(CenterGeo().Latitude, zoom_); }

private:
    void ClampCenter();

    int width_ = 256;
    int height_ = 256;
    int zoom_ = 0;
    WebMercator::WorldPoint center_{0.5, 0.5};
};
