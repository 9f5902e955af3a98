#include "MapViewport.h"

#include <algorithm>
#include <cmath>

using namespace WebMercator;

void CMapViewport::SetSize(int width, int height)
{
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    ClampCenter();
}

void CMapViewport::SetZoom(int zoom)
{
    zoom_ = std::clamp(zoom, MinZoom, MaxZoom);
    ClampCenter();
}

void CMapViewport::SetCenter(const WorldPoint& center)
{
    center_ = center;
    ClampCenter();
}

void CMapViewport::ClampCenter()
{
    // Keep x near the world so that long pans do not lose precision.
    if (center_.X < -1.0 || center_.X > 2.0) center_.X = WrapWorldX(center_.X);
    const double halfHeight = height_ / 2.0 / Scale();
    if (halfHeight >= 0.5)
        center_.Y = 0.5;
    else
        center_.Y = std::clamp(center_.Y, halfHeight, 1.0 - halfHeight);
}

void CMapViewport::PanBy(double dx, double dy)
{
    center_.X -= dx / Scale();
    center_.Y -= dy / Scale();
    ClampCenter();
}

void CMapViewport::ZoomAbout(int zoom, double x, double y)
{
    zoom = std::clamp(zoom, MinZoom, MaxZoom);
    if (zoom == zoom_) return;
    const WorldPoint anchor = ToWorld(x, y);
    zoom_ = zoom;
    center_.X = anchor.X - (x - width_ / 2.0) / Scale();
    center_.Y = anchor.Y - (y - height_ / 2.0) / Scale();
    ClampCenter();
}

void CMapViewport::Fit(const WorldRect& bounds, int maxZoom, int margin)
{
    const double w = std::max(1.0, width_ - 2.0 * margin);
    const double h = std::max(1.0, height_ - 2.0 * margin);
    const double spanX = bounds.Right - bounds.Left;
    const double spanY = bounds.Bottom - bounds.Top;
    int zoom = std::clamp(maxZoom, MinZoom, MaxZoom);
    while (zoom > MinZoom && (spanX * WorldPixels(zoom) > w || spanY * WorldPixels(zoom) > h)) --zoom;
    zoom_ = zoom;
    center_ = {(bounds.Left + bounds.Right) / 2.0, (bounds.Top + bounds.Bottom) / 2.0};
    ClampCenter();
}

ScreenPoint CMapViewport::ToScreen(const WorldPoint& point) const
{
    // The copy of the world nearest the centre.
    double dx = point.X - center_.X;
    dx -= std::round(dx);
    return {width_ / 2.0 + dx * Scale(), height_ / 2.0 + (point.Y - center_.Y) * Scale()};
}

ScreenPoint CMapViewport::ToScreenUnwrapped(const WorldPoint& point) const
{
    return {width_ / 2.0 + (point.X - center_.X) * Scale(), height_ / 2.0 + (point.Y - center_.Y) * Scale()};
}

WorldPoint CMapViewport::ToWorld(double x, double y) const
{
    return {center_.X + (x - width_ / 2.0) / Scale(), center_.Y + (y - height_ / 2.0) / Scale()};
}

WorldRect CMapViewport::Visible() const
{
    const WorldPoint topLeft = ToWorld(0, 0);
    const WorldPoint bottomRight = ToWorld(width_, height_);
    return {topLeft.X, topLeft.Y, bottomRight.X, bottomRight.Y};
}

std::vector<int> CMapViewport::WorldCopies(double left, double right) const
{
    const WorldRect view = Visible();
    std::vector<int> copies;
    const int first = static_cast<int>(std::floor(view.Left - right));
    const int last = static_cast<int>(std::ceil(view.Right - left));
    for (int k = first; k <= last; ++k)
        if (left + k < view.Right && right + k > view.Left) copies.push_back(k);
    return copies;
}

TileRange CMapViewport::VisibleTiles() const
{
    const WorldRect view = Visible();
    const int count = TileCount(zoom_);
    TileRange range;
    range.Zoom = zoom_;
    range.FirstX = static_cast<int>(std::floor(view.Left * count));
    range.LastX = static_cast<int>(std::ceil(view.Right * count)) - 1;
    range.FirstY = std::max(0, static_cast<int>(std::floor(view.Top * count)));
    range.LastY = std::min(count - 1, static_cast<int>(std::ceil(view.Bottom * count)) - 1);
    return range;
}
