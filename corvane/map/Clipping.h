// Cutting lines and polygons to a rectangle before they are drawn, so that
// the painter never sees coordinates millions of pixels away (deep zoom
// levels put most of a continent's outline far off screen).
#pragma once

#include <functional>
#include <vector>

#include "MapViewport.h"
#include "WebMercator.h"

// Sutherland-Hodgman: the part of a closed ring inside `rect` (the rect's
// edges may appear as new edges); empty when nothing is inside.
std::vector<WebMercator::WorldPoint> ClipRing(const WebMercator::WorldPoint* points, size_t count,
                                              const WorldRect& rect);

// The pieces of an open polyline inside `rect`, each handed to `piece` in order.
void ClipPolyline(const WebMercator::WorldPoint* points, size_t count, const WorldRect& rect,
                  const std::function<void(const std::vector<WebMercator::WorldPoint>&)>& piece);
