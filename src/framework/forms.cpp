#include "framework/forms.h"

#include <algorithm>
#include <array>

namespace qd {

TForm::TForm(TApplication& application) : app_(application) {}

TForm::~TForm() = default;

void TForm::CreateWnd() {
  WindowParams params;
  params.bounds = {left_, top_, left_ + width_, top_ + height_};
  params.minWidth = MinWidth;
  params.minHeight = MinHeight;
  params.topMost = FormStyle == TFormStyle::fsStayOnTop;
  params.layered = alphaBlend_ && Ws().HasLayeredAttributes();
  params.caption = Caption;
  handle_ = Ws().CreateAppWindow(params, *this);
  if (!handle_) {
    return;  // reported by the caller; no handler runs on a form without a window
  }
  if (params.layered) {
    Ws().SetLayeredAlpha(handle_, alphaBlendValue_);
  }
  Guarded(*this, [this] { FormMainOnCreate(); });
}

void TForm::Destroy() {
  if (destroyed_ || !handle_) {
    return;
  }
  destroyed_ = true;
  Guarded(*this, [this] { FormMainOnDestroy(); });
  for (const TTimer* timer : timers_) {
    if (timer->Enabled()) {
      Ws().StopTimer(handle_, timer->Id());
    }
  }
  Ws().DestroyAppWindow(handle_);
  handle_ = NativeWindow{};
}

void TForm::SetInitialBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = std::max(width, MinWidth);
  height_ = std::max(height, MinHeight);
}

void TForm::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, MinWidth);
  height = std::max(height, MinHeight);
  if (left == left_ && top == top_ && width == width_ && height == height_) {
    return;
  }
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (handle_) {
    Ws().SetWindowBounds(handle_, left_, top_, width_, height_);
  }
}

void TForm::SetAlphaBlend(bool on) {
  if (on == alphaBlend_) {
    return;
  }
  alphaBlend_ = on;
  if (imageMode_) {
    // At a constant alpha of 255 the image shows the same either way; showing it again
    // would cost a whole frame at the largest sizes.
    if (handle_ && alphaBlendValue_ != 255) {
      Ws().SetImageAlpha(handle_, on ? alphaBlendValue_ : 255);
    }
    return;
  }
  // Without SetLayeredWindowAttributes the settings are only recorded.
  if (!handle_ || !Ws().HasLayeredAttributes()) {
    return;
  }
  Ws().SetLayered(handle_, on);
  if (on) {
    Ws().SetLayeredAlpha(handle_, alphaBlendValue_);
  }
}

void TForm::SetAlphaBlendValue(std::uint8_t value) {
  if (value == alphaBlendValue_) {
    return;
  }
  alphaBlendValue_ = value;
  if (handle_ && alphaBlend_ && imageMode_) {
    Ws().SetImageAlpha(handle_, value);
  } else if (handle_ && alphaBlend_ && Ws().HasLayeredAttributes()) {
    Ws().SetLayeredAlpha(handle_, value);
  }
}

void TForm::UseImageMode() {
  // A window that has had a constant alpha takes an image only after its layered style
  // has been cleared (and set again with the image).
  if (handle_ && alphaBlend_ && !imageMode_ && Ws().HasLayeredAttributes()) {
    Ws().SetLayered(handle_, false);
  }
  imageMode_ = true;
}

void TForm::LeaveImageMode() {
  if (!imageMode_) {
    return;
  }
  imageMode_ = false;
  if (!handle_ || !Ws().HasLayeredAttributes()) {
    return;
  }
  // The image goes with the layered style; a constant alpha takes the style anew.
  Ws().SetLayered(handle_, false);
  if (alphaBlend_) {
    Ws().SetLayered(handle_, true);
    Ws().SetLayeredAlpha(handle_, alphaBlendValue_);
  }
}

PixelView TForm::ImagePixels(std::int32_t width, std::int32_t height) {
  const PixelView view = handle_ ? Ws().WindowImagePixels(handle_, width, height) : PixelView{};
  imageWidth_ = view.width;
  imageHeight_ = view.height;
  return view;
}

bool TForm::ShowImage(int left, int top) {
  if (!handle_ || imageWidth_ <= 0 || imageHeight_ <= 0) {
    return false;
  }
  // Taken before the call, as by SetBounds (the system reports a hidden window's move to no
  // one), and back where the system refused.
  const std::array<int, 4> before{left_, top_, width_, height_};
  left_ = left;
  top_ = top;
  width_ = imageWidth_;
  height_ = imageHeight_;
  if (Ws().ShowWindowImage(handle_, left, top)) {
    return true;
  }
  left_ = before[0];
  top_ = before[1];
  width_ = before[2];
  height_ = before[3];
  return false;
}

void TForm::SetCursor(TCursor cursor) {
  if (cursor == cursor_) {
    return;
  }
  cursor_ = cursor;
  UpdateCursor();
}

void TForm::UpdateCursor() {
  if (handle_) {
    Ws().ApplyCursor(handle_, OnSetCursor());
  }
}

void TForm::Show() {
  if (handle_) {
    Ws().ShowAppWindow(handle_, true);
  }
}

void TForm::Hide() {
  if (handle_) {
    Ws().ShowAppWindow(handle_, false);
  }
}

namespace {

// What a form without a window draws on; the system would give the whole screen.
class NoCanvas final : public Canvas {
 public:
  void FillRect(const TRect& /*rect*/, TColor /*color*/) override {}
  void Polyline(const std::vector<TPoint>& /*points*/, int /*penWidth*/,
                TColor /*penColor*/) override {}
};

}  // namespace

std::unique_ptr<Canvas> TForm::GetCanvas() {
  if (!handle_) {
    return std::make_unique<NoCanvas>();
  }
  return Ws().GetCanvas(handle_);
}

NativeCursor TForm::OnSetCursor() {
  const TCursor app = app_.Cursor();
  return app_.CursorHandle(app != crDefault ? app : cursor_);
}

void TForm::OnCloseRequest() { app_.Terminate(); }

HandOverAnswer TForm::OnHandOverAsked() {
  return app_.Terminated() ? HandOverAnswer::Ending : HandOverAnswer::HandedOver;
}

void TForm::OnMouseWheelMessage(TShiftState Shift, int WheelDelta, TPoint MousePos,
                                std::uint32_t time) {
  const bool sameWay = (wheelSum_ > 0 && WheelDelta > 0) || (wheelSum_ < 0 && WheelDelta < 0);
  if (!sameWay || Shift != wheelShift_ || time - wheelTime_ > kWheelPauseMs) {
    wheelSum_ = 0;
  }
  wheelShift_ = Shift;
  wheelTime_ = time;
  // Clamped to a notch: one message is one step at most, and the sum cannot overflow.
  wheelSum_ += std::clamp(WheelDelta, -kWheelNotch, kWheelNotch);
  if (wheelSum_ >= kWheelNotch || wheelSum_ <= -kWheelNotch) {
    const int step = wheelSum_ > 0 ? kWheelNotch : -kWheelNotch;
    wheelSum_ -= step;
    FormMainOnMouseWheel(Shift, step, MousePos);
  }
}

void TForm::OnEndSession() {
  // Windows may end the process as soon as this returns: end the orderly way now.
  endingSession_ = true;
  app_.Terminate();
  Destroy();
}

void TForm::OnBoundsChanged(int left, int top, int width, int height, MovedBy /*by*/) {
  // Taken as they are, so that the next change starts from where the window really is.
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

void TForm::OnHandlerError(const char* text) { app_.ShowError(text); }

}  // namespace qd
