// The hot paths on the recording fake: a shape build (every wheel step and drag-resize
// makes one) and loading a typical settings file, each beside a floor measured in the same
// run: a bare paint, and loading an empty file. A turn with smooth edges (the image drawn
// natively on each step) beside the same turn with sharp ones, at the default size and the
// largest. The smooth arrow's rasterizer alone at the sizes of both screens, and its
// repaint in a new colour from the coverage it keeps.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fake_system_services.h"
#include "fake_window_system.h"
#include "framework/application.h"
#include "model/pointer_settings.h"
#include "model/shape.h"
#include "model/smooth_edges.h"
#include "settings/settings.h"
#include "window/UnitMain.h"

namespace qd {
namespace {

constexpr char kPath[] = "C:\\Users\\ann\\AppData\\Roaming\\Brennavo\\Quiverdart\\Quiverdart.ini";

// A started program on the fake, as the unit tests make it.
struct Started {
  explicit Started(const std::string& settings = {}) {
    if (!settings.empty()) {
      sys.directories.insert("C:\\Tools");
      sys.files["C:\\Tools\\Quiverdart.ini"] = settings;
    }
    app = std::make_unique<TApplication>(ws, sys);
    form = std::make_unique<TFormMain>(*app);
    app->SetMainForm(form.get());
    form->CreateWnd();
  }
  ~Started() { form.reset(); }
  test::FakeWindowSystem ws;
  test::FakeSystemServices sys{ws.log};
  std::unique_ptr<TApplication> app;
  std::unique_ptr<TFormMain> form;
};

// Wheel steps as the window system delivers them, each one shape build: turns, and size
// steps up to the largest arrow and back.
void BM_BuildPointerShape(benchmark::State& state) {
  Started p;
  int step = 0;
  for (auto _ : state) {
    const bool grow = (step / (2 * kMaxSize)) % 2 == 0;
    p.ws.events->FormMainOnMouseWheel(step % 2 == 0 ? TShiftState() : TShiftState(ssShift),
                                      grow ? 120 : -120, {0, 0});
    p.ws.ClearLog();
    ++step;
  }
}
BENCHMARK(BM_BuildPointerShape);

// A wheel turn at a size (first argument), with sharp (second argument 0) or smooth edges.
void BM_WheelTurn(benchmark::State& state) {
  std::string settings = "[Pointer]\r\nSize=" + std::to_string(state.range(0)) + "\r\n";
  if (state.range(1) != 0) {
    settings += "[Display]\r\nEdges=Smooth\r\n";
  }
  Started p(settings);
  for (auto _ : state) {
    p.ws.events->FormMainOnMouseWheel(TShiftState(), 120, {0, 0});
    p.ws.ClearLog();
  }
}
BENCHMARK(BM_WheelTurn)->ArgsProduct({{4, 24}, {0, 1}})->Unit(benchmark::kMillisecond);

// The smooth arrow drawn into an image as the window system lends it, stale pixels and all:
// at a size (first argument), for the work area of a 1920x1080 screen (second argument 0)
// or a 3840x2160 one, upright (third argument 6) or slanted by 45 degrees (3); covered
// anew each time, as for a turn, or only painted in a new colour.
void RasterizeSmoothArrow(benchmark::State& state, bool newColourOnly) {
  PointerSettings settings;
  settings.Size = static_cast<std::int32_t>(state.range(0));
  settings.Orientation = static_cast<std::int32_t>(state.range(2));
  const bool large = state.range(1) != 0;
  const PointerGeometry g =
      ComputePointerGeometry(large ? BaseUnitFor(3840, 2160) : BaseUnitFor(1920, 1080), settings);
  const std::vector<TPoint> outline(g.PointerPolygon.begin(), g.PointerPolygon.begin() + 7);
  const double rimWidth = settings.Size >= 5 ? 2.5 : 1.5;
  std::vector<std::uint32_t> pixels(
      static_cast<std::size_t>(g.WindowWidth) * static_cast<std::size_t>(g.WindowHeight),
      0x40FFFFFFU);
  const PixelView image{g.WindowWidth, g.WindowHeight, pixels};
  SmoothArrowCoverage kept;
  kept.Cover(outline, rimWidth, g.WindowWidth, g.WindowHeight);
  TColor colour = 0x0000FF;
  for (auto _ : state) {
    colour ^= 0x00FF00;
    if (newColourOnly) {
      kept.Paint(colour, 0, image);
    } else {
      SmoothArrowCoverage coverage;
      coverage.Cover(outline, rimWidth, g.WindowWidth, g.WindowHeight);
      coverage.Paint(colour, 0, image);
    }
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::to_string(g.WindowWidth) + "x" + std::to_string(g.WindowHeight));
}

void BM_RasterizeSmoothArrow(benchmark::State& state) { RasterizeSmoothArrow(state, false); }
void BM_RepaintSmoothArrow(benchmark::State& state) { RasterizeSmoothArrow(state, true); }
BENCHMARK(BM_RasterizeSmoothArrow)
    ->ArgNames({"size", "4k", "turn"})
    ->ArgsProduct({{1, 4, 12, 23, 24}, {0, 1}, {6, 3}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepaintSmoothArrow)
    ->ArgNames({"size", "4k", "turn"})
    ->ArgsProduct({{1, 4, 12, 23, 24}, {0, 1}, {6, 3}})
    ->Unit(benchmark::kMicrosecond);

// The window system's repaint of the arrow.
void BM_PaintPointerFloor(benchmark::State& state) {
  Started p;
  for (auto _ : state) {
    p.ws.events->FormMainOnPaint(*p.ws.GetCanvas(p.form->Handle()));
    p.ws.ClearLog();
  }
}
BENCHMARK(BM_PaintPointerFloor);

void LoadFile(benchmark::State& state, const std::string& bytes) {
  test::FakeWindowSystem ws;
  test::FakeSystemServices sys{ws.log};
  sys.files[kPath] = bytes;
  for (auto _ : state) {
    benchmark::DoNotOptimize(LoadSettings(sys, kPath, 1920, 1080));
    ws.ClearLog();
  }
}

void BM_LoadSettingsTypicalFile(benchmark::State& state) {
  LoadFile(state,
           "[Pointer]\r\nSettingsLocked=0\r\nEscTerminates=1\r\nTipPosX=812\r\nTipPosY=377\r\n"
           "Size=9\r\nOrientation=5\r\nColor=65280\r\nColorIndex=3\r\nAlphaBlendIndex=18\r\n\r\n"
           "[Colors]\r\nColorA=00FF00\r\nColorB=1FFFFFFF\r\nColorC=1FFFFFFF\r\nColorD=1FFFFFFF\r\n"
           "ColorE=1FFFFFFF\r\nColorF=1FFFFFFF\r\nColorG=1FFFFFFF\r\nColorH=1FFFFFFF\r\n"
           "ColorI=1FFFFFFF\r\nColorJ=1FFFFFFF\r\nColorK=1FFFFFFF\r\nColorL=1FFFFFFF\r\n"
           "ColorM=1FFFFFFF\r\nColorN=1FFFFFFF\r\nColorO=1FFFFFFF\r\nColorP=1FFFFFFF\r\n\r\n");
}
BENCHMARK(BM_LoadSettingsTypicalFile);

void BM_LoadSettingsEmptyFileFloor(benchmark::State& state) { LoadFile(state, ""); }
BENCHMARK(BM_LoadSettingsEmptyFileFloor);

}  // namespace
}  // namespace qd
