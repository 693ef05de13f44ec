// The arrow's geometry: the base outline turned, scaled and rounded to whole pixels, and
// the window bounds that put its tip on the tip position.
#pragma once

#include "model/pointer_state.h"

namespace qd {

// Computes Scale, Angle, CosAngle, SinAngle, PointerPolygon and the window bounds from
// BaseUnit, ScaleTable, Size, Orientation, BasePolygon and the tip position.
void ComputePointerGeometry(PointerState& state);

// Rounds to the nearest integer, halves to the even neighbour.
std::int32_t RoundHalfEven(double value);

// BaseUnit for a work area: the larger side divided by 512, at least 1.
std::int32_t BaseUnitFor(std::int32_t workAreaWidth, std::int32_t workAreaHeight);

}  // namespace qd
