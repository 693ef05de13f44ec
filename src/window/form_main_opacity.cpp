// The arrow's opacity: the fades out and in, each step paced on the clock by a blocking
// delay, and the opacity a restore from the task bar brings back.
#include <algorithm>

#include "model/tables.h"
#include "window/UnitMain.h"

namespace qd {

namespace {
constexpr std::uint16_t kFadeStepMs = 60;
constexpr std::int32_t kRestoreFloorIndex = 8;
constexpr std::uint32_t kWaitLimitMs = 65535;
}  // namespace

std::uint8_t TFormMain::StepAlphaValue(std::int32_t index) {
  const int value = AlphaTable[static_cast<std::size_t>(std::clamp(index, 0, kTopAlphaIndex))];
  return static_cast<std::uint8_t>(std::clamp(value, 2, 255));
}

bool TFormMain::Delay(std::uint16_t milliseconds) {
  if (milliseconds == 0) {
    return false;
  }
  SystemServices& services = Services();
  const std::int64_t due = milliseconds == 1 ? 5000 : (milliseconds - 1) * std::int64_t{10000};
  const OwnedWaitableTimer timer = services.CreateWaitableTimer();
  if (!timer) {
    return false;
  }
  return services.SetWaitableTimer(timer.Get(), due) &&
         services.WaitForTimer(timer.Get(), kWaitLimitMs) &&
         services.CancelWaitableTimer(timer.Get());
}

void TFormMain::FadeStepPause(std::uint32_t stepStart) {
  // A step lasts its time however long the window took to show it (an image of the largest
  // arrow takes tens of milliseconds): the pause is what is left of it. A step that took
  // longer still pauses the shortest time, so that the screen shows it before the next, and
  // no step is left out to catch up: the fade runs late but through every level.
  const std::uint32_t spent =
      std::min<std::uint32_t>(Services().TickCount() - stepStart, kFadeStepMs - 1);
  Delay(static_cast<std::uint16_t>(kFadeStepMs - spent));
}

void TFormMain::FadeOut() {
  for (std::int32_t i = Settings.AlphaBlendIndex; i >= 0; --i) {
    const std::uint32_t stepStart = Services().TickCount();
    SetAlphaBlendValue(StepAlphaValue(i));
    CurrentAlphaIndex = i;
    PaintPointer();
    if (i > 0) {
      FadeStepPause(stepStart);
    }
  }
  SetAlphaBlend(AlphaBlendValue() < 255);
  FadedOut = true;
}

void TFormMain::FadeIn() {
  for (std::int32_t i = 0; i <= Settings.AlphaBlendIndex; ++i) {
    const std::uint32_t stepStart = Services().TickCount();
    SetAlphaBlendValue(StepAlphaValue(i));
    CurrentAlphaIndex = i;
    PaintPointer();
    if (i < Settings.AlphaBlendIndex) {
      FadeStepPause(stepStart);
    }
  }
  SetAlphaBlend(Settings.AlphaBlendIndex < kTopAlphaIndex);
  // Serves the input of the fade and the repaint that switching translucency off asked for.
  App().ProcessMessages();
  if (!AlphaBlend()) {
    PaintPointer();
  }
  FadedOut = false;
}

void TFormMain::ApplicationOnRestore() {
  if (AlphaBlend()) {
    CurrentAlphaIndex = std::max(Settings.AlphaBlendIndex, kRestoreFloorIndex);
    SetAlphaBlendValue(
        AlphaTable[static_cast<std::size_t>(std::min(CurrentAlphaIndex, kTopAlphaIndex))]);
    Settings.AlphaBlendIndex = CurrentAlphaIndex;
    FadedOut = false;
  }
  PaintPointer();
  SettingsMayHaveChanged();
}

}  // namespace qd
