#include <algorithm>

#include "model/pointer_state.h"
#include "model/tables.h"
#include "window/UnitMain.h"

namespace qd {

namespace {
constexpr std::uint16_t kFadeStepMs = 60;
constexpr std::int32_t kRestoreFloorIndex = 8;
constexpr std::uint32_t kWaitLimitMs = 65535;
}  // namespace

std::uint8_t StepAlphaValue(std::int32_t index) {
  const int value = AlphaTable[static_cast<std::size_t>(std::clamp(index, 0, kTopAlphaIndex))];
  return static_cast<std::uint8_t>(std::clamp(value, 2, 255));
}

bool Delay(std::uint16_t milliseconds) {
  if (milliseconds == 0) {
    return false;
  }
  SystemServices& services = Application->Services();
  const std::int64_t due = milliseconds == 1 ? 5000 : (milliseconds - 1) * std::int64_t{10000};
  const OwnedWaitableTimer timer = services.CreateWaitableTimer();
  if (!timer) {
    return false;
  }
  return services.SetWaitableTimer(timer.Get(), due) &&
         services.WaitForTimer(timer.Get(), kWaitLimitMs) &&
         services.CancelWaitableTimer(timer.Get());
}

void FadeOut() {
  for (std::int32_t i = Pointer.AlphaBlendIndex; i >= 0; --i) {
    FormMain->SetAlphaBlendValue(StepAlphaValue(i));
    Pointer.CurrentAlphaIndex = i;
    PaintPointer();
    if (i > 0) {
      Delay(kFadeStepMs);
    }
  }
  FormMain->SetAlphaBlend(FormMain->AlphaBlendValue() < 255);
  Pointer.FadedOut = true;
}

void FadeIn() {
  for (std::int32_t i = 0; i <= Pointer.AlphaBlendIndex; ++i) {
    FormMain->SetAlphaBlendValue(StepAlphaValue(i));
    Pointer.CurrentAlphaIndex = i;
    PaintPointer();
    if (i < Pointer.AlphaBlendIndex) {
      Delay(kFadeStepMs);
    }
  }
  FormMain->SetAlphaBlend(Pointer.AlphaBlendIndex < kTopAlphaIndex);
  // Serves the input of the fade and the repaint that switching translucency off asked for.
  Application->ProcessMessages();
  if (!FormMain->AlphaBlend()) {
    PaintPointer();
  }
  Pointer.FadedOut = false;
}

void ApplicationOnRestore(TObject* /*Sender*/) {
  if (FormMain->AlphaBlend()) {
    Pointer.CurrentAlphaIndex = std::max(Pointer.AlphaBlendIndex, kRestoreFloorIndex);
    FormMain->SetAlphaBlendValue(
        AlphaTable[static_cast<std::size_t>(std::min(Pointer.CurrentAlphaIndex, kTopAlphaIndex))]);
    Pointer.AlphaBlendIndex = Pointer.CurrentAlphaIndex;
    Pointer.FadedOut = false;
  }
  PaintPointer();
}

}  // namespace qd
