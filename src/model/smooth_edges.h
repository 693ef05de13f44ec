// The arrow with anti-aliased edges: the share of each pixel that the outline covers, and
// the image that shows the fill, its rim inside the outline and the fringe between them
// with an alpha per pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/types.h"

namespace qd {

struct PointF {
  double x = 0;
  double y = 0;
};

// The polygon with every edge moved inward by `distance`, corners mitered; empty when an
// edge would turn round (the shape too thin for the distance).
std::vector<PointF> InsetPolygon(const std::vector<PointF>& polygon, double distance);

// The arrow with anti-aliased edges, its coverage kept apart from its colours so that a new
// colour is painted without covering anew: for each row of the image, the pixels that the
// outline or the rim's inner edge crosses, each with its own shares, and between them runs
// of pixels that all share alike (inside, or outside the arrow).
class SmoothArrowCoverage {
 public:
  // Covers the outline, with a rim of `rimWidth` along its inside, for an image of `width`
  // x `height`; keeps what it has when that is the one it covered last. Too thin for its
  // rim, the arrow is all rim. A polygon that crosses itself counts its doubly covered parts
  // once.
  void Cover(const std::vector<TPoint>& outline, double rimWidth, std::int32_t width,
             std::int32_t height);

  // Draws into every pixel of `target` the covered outline filled with `fill` and its rim
  // in `rim`, anti-aliased; pixels the outline does not touch become fully transparent.
  // Draws nothing into a target of another size than the one covered.
  void Paint(TColor fill, TColor rim, PixelView target) const;

 private:
  // The covered share of a pixel: by the outline, and by the inset outline within it.
  struct Shares {
    float outline = 0;
    float inside = 0;
  };

  std::vector<TPoint> outline_;
  double rimWidth_ = 0;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  // Each row is a run of pixels alike (maybe none), then by turns one of pixels each with
  // its own shares and one of pixels alike; runEnds_[rowRuns_[y]] up to runEnds_[rowRuns_[y
  // + 1]] are where row y's runs end. shares_ holds, row by row and run by run, the one
  // shares of a run alike and the shares of each pixel of the others.
  std::vector<std::int32_t> runEnds_;
  std::vector<std::size_t> rowRuns_;
  std::vector<Shares> shares_;
};

}  // namespace qd
