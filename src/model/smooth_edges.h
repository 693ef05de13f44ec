// The arrow with anti-aliased edges: the share of each pixel that the outline covers, and
// the image that shows the fill, its rim inside the outline and the fringe between them
// with an alpha per pixel.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/types.h"

namespace qd {

struct PointF {
  double x = 0;
  double y = 0;
};

// The share of each pixel of row `row` (pixel x spans [x, x+1)) covered by the closed
// polygon, exact up to rounding; `out` gets `width` values from 0 to 1. A polygon that
// crosses itself counts its doubly covered parts once.
void PolygonCoverageRow(const std::vector<PointF>& polygon, std::int32_t row,
                        std::vector<double>& out, std::int32_t width);

// The polygon with every edge moved inward by `distance`, corners mitered; empty when an
// edge would turn round (the shape too thin for the distance).
std::vector<PointF> InsetPolygon(const std::vector<PointF>& polygon, double distance);

// Draws into every pixel of `target` the outline filled with `fill`, with a rim of
// `rimWidth` in `rim` along the inside of the outline, anti-aliased; pixels the outline
// does not touch become fully transparent.
void RenderSmoothArrow(const std::vector<TPoint>& outline, double rimWidth, TColor fill, TColor rim,
                       PixelView target);

}  // namespace qd
