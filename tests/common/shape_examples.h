// The arrow geometry's worked examples and the scale table's exact doubles. The native unit
// tests check them, and so does the backend test program of each Windows build under Wine:
// the exe must compute the same doubles and pixels with the arithmetic it is compiled with.
#pragma once

#include <array>

#include "model/pointer_settings.h"
#include "model/shape.h"

namespace qd::test {

struct ShapeCase {
  const char* name;
  int baseUnit, size, orientation;
  TPoint tip;
  std::array<TPoint, 8> polygon;
  int width, height, left, top;
};

inline constexpr std::array<ShapeCase, 7> kWorkedExamples = {{
    {"Unit1Right", 1, 1, 0, {500, 400},
     {{{12, 3}, {6, 0}, {6, 2}, {0, 2}, {0, 4}, {6, 4}, {6, 6}, {12, 3}}},
     13, 7, 488, 397},
    {"Unit1Down", 1, 1, 6, {500, 400},
     {{{3, 0}, {0, 6}, {2, 6}, {2, 12}, {4, 12}, {4, 6}, {6, 6}, {3, 0}}},
     7, 13, 497, 400},
    {"Unit1Turned45", 1, 1, 3, {500, 400},
     {{{9, 0}, {3, 2}, {4, 4}, {0, 8}, {1, 9}, {5, 5}, {7, 6}, {9, 0}}},
     10, 10, 491, 400},
    {"Default1920Right", 3, 4, 0, {960, 520},
     {{{61, 15}, {31, 0}, {31, 10}, {0, 10}, {0, 20}, {31, 20}, {31, 30}, {61, 15}}},
     62, 31, 899, 505},
    {"Default1920Turned30", 3, 4, 2, {960, 520},
     {{{55, 0}, {21, 2}, {26, 11}, {0, 26}, {5, 35}, {31, 20}, {36, 28}, {55, 0}}},
     56, 36, 905, 520},
    {"Default1920Left", 3, 4, 12, {960, 520},
     {{{0, 15}, {30, 30}, {30, 20}, {61, 20}, {61, 10}, {30, 10}, {30, 0}, {0, 15}}},
     62, 31, 960, 505},
    {"Default1920Up", 3, 4, 18, {960, 520},
     {{{15, 61}, {30, 31}, {20, 31}, {20, 0}, {10, 0}, {10, 31}, {0, 31}, {15, 61}}},
     31, 62, 945, 459},
}};

// Repeated products of the fourth root of two: entry k is the scale of size k.
inline constexpr std::array<double, kMaxSize + 1> kScaleTable = {
    0.0,                1.0,                1.189207115002721,  1.414213562373095,
    1.6817928305074288, 1.9999999999999996, 2.3784142300054416, 2.8284271247461894,
    3.363585661014857,  3.9999999999999987, 4.756828460010882,  5.656854249492378,
    6.727171322029713,  7.9999999999999964, 9.513656920021765,  11.313708498984756,
    13.454342644059427, 15.999999999999993, 19.02731384004353,  22.62741699796951,
    26.908685288118853, 31.999999999999986, 38.05462768008706,  45.25483399593902,
    53.81737057623771};

// The geometry of one example, as the window's shape build computes it.
inline PointerGeometry ComputedShape(const ShapeCase& c) {
  PointerSettings s;
  s.Size = c.size;
  s.Orientation = c.orientation;
  s.TipPosX = c.tip.x;
  s.TipPosY = c.tip.y;
  return ComputePointerGeometry(c.baseUnit, s);
}

}  // namespace qd::test
