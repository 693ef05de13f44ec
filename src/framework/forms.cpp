#include "framework/forms.h"

#include <algorithm>

namespace qd {

TForm::TForm(TApplication& application) : app_(application) {}

TForm::~TForm() { Destroy(); }

void TForm::CreateWnd() {
  WindowParams params;
  params.bounds = {left_, top_, left_ + width_, top_ + height_};
  params.minWidth = MinWidth;
  params.minHeight = MinHeight;
  params.topMost = FormStyle == TFormStyle::fsStayOnTop;
  params.layered = alphaBlend_ && Ws().HasLayeredAttributes();
  params.caption = Caption;
  handle_ = Ws().CreateAppWindow(params, sink_);
  if (!handle_) {
    return;  // reported by the caller; no handler runs on a form without a window
  }
  if (params.layered) {
    Ws().SetLayeredAlpha(handle_, alphaBlendValue_);
  }
  Fire(OnCreate);
}

void TForm::Destroy() {
  if (destroyed_ || !handle_) {
    return;
  }
  destroyed_ = true;
  Fire(OnDestroy);
  for (TTimer* timer : timers_) {
    if (timer->Enabled()) {
      Ws().StopTimer(handle_, timer->Id());
    }
  }
  Ws().DestroyAppWindow(handle_);
  handle_ = NativeWindow{};
}

void TForm::ApplyBounds() {
  if (handle_) {
    Ws().SetWindowBounds(handle_, left_, top_, width_, height_);
  }
}

void TForm::SetInitialBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = std::max(width, MinWidth);
  height_ = std::max(height, MinHeight);
}

void TForm::SetLeft(int value) {
  if (value != left_) {
    left_ = value;
    ApplyBounds();
  }
}

void TForm::SetTop(int value) {
  if (value != top_) {
    top_ = value;
    ApplyBounds();
  }
}

void TForm::SetWidth(int value) {
  value = std::max(value, MinWidth);
  if (value != width_) {
    width_ = value;
    ApplyBounds();
  }
}

void TForm::SetHeight(int value) {
  value = std::max(value, MinHeight);
  if (value != height_) {
    height_ = value;
    ApplyBounds();
  }
}

void TForm::SetColor(TColor color) {
  if (color == color_) {
    return;
  }
  color_ = color;
  if (handle_) {
    Ws().Invalidate(handle_);
  }
}

void TForm::SetAlphaBlend(bool on) {
  if (on == alphaBlend_) {
    return;
  }
  alphaBlend_ = on;
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
  if (handle_ && alphaBlend_ && Ws().HasLayeredAttributes()) {
    Ws().SetLayeredAlpha(handle_, value);
  }
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
    Ws().ApplyCursor(handle_, sink_.OnSetCursor());
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

TTimer* TForm::FindTimer(unsigned id) const {
  const auto it = std::find_if(timers_.begin(), timers_.end(),
                               [id](const TTimer* timer) { return timer->Id() == id; });
  return it == timers_.end() ? nullptr : *it;
}

// --- messages from the backend ---

void TForm::Sink::OnPaint(Canvas& canvas) {
  form_.app_.Dispatch([&] {
    canvas.FillRect({0, 0, form_.width_, form_.height_}, form_.color_);
    if (form_.OnRepaint) {
      form_.OnRepaint(canvas);
    }
  });
}

void TForm::Sink::OnMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  // The form keeps the mouse from a left press to its release.
  if (button == TMouseButton::mbLeft) {
    form_.Ws().SetCapture(form_.handle_);
  }
  form_.Fire(form_.OnMouseDown, button, shift, x, y);
}

void TForm::Sink::OnMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    form_.Ws().ReleaseCapture();
  }
  form_.Fire(form_.OnMouseUp, button, shift, x, y);
}

void TForm::Sink::OnMouseMove(TShiftState shift, int x, int y) {
  form_.Fire(form_.OnMouseMove, shift, x, y);
}

void TForm::Sink::OnDblClick() { form_.Fire(form_.OnDblClick); }

void TForm::Sink::OnMouseWheel(TShiftState shift, int delta, TPoint screenPos) {
  bool handled = false;
  form_.Fire(form_.OnMouseWheel, shift, delta, screenPos, handled);
}

void TForm::Sink::OnKeyDown(std::uint16_t key, TShiftState shift) {
  form_.Fire(form_.OnKeyDown, key, shift);
}

void TForm::Sink::OnKeyUp(std::uint16_t key, TShiftState shift) {
  form_.Fire(form_.OnKeyUp, key, shift);
}

void TForm::Sink::OnKeyPress(char ch) { form_.Fire(form_.OnKeyPress, ch); }

void TForm::Sink::OnContextPopup(TPoint screenPos) {
  bool handled = false;
  form_.Fire(form_.OnContextPopup, screenPos, handled);
}

void TForm::Sink::OnTimer(unsigned timerId) {
  if (TTimer* timer = form_.FindTimer(timerId)) {
    form_.app_.Dispatch(&TTimer::Tick, timer);
  }
}

NativeCursor TForm::Sink::OnSetCursor() {
  const TCursor app = form_.app_.Cursor();
  return form_.app_.CursorHandle(app != crDefault ? app : form_.cursor_);
}

void TForm::Sink::OnCloseRequest() { form_.app_.Terminate(); }

void TForm::Sink::OnEndSession() {
  // Windows may end the process as soon as this returns: end the orderly way now.
  form_.app_.Terminate();
  form_.Destroy();
}

void TForm::Sink::OnRestore() { form_.Fire(form_.app_.OnRestore); }

void TForm::Sink::OnDisplayChange() { form_.Fire(form_.OnDisplayChange); }

void TForm::Sink::OnBoundsChanged(int left, int top, int width, int height) {
  // Taken as they are, so that the next change starts from where the window really is.
  form_.left_ = left;
  form_.top_ = top;
  form_.width_ = width;
  form_.height_ = height;
}

void TForm::Sink::OnHotKey(int hotKeyId) { form_.Fire(form_.OnHotKey, hotKeyId); }

}  // namespace qd
