// The form: one top-level window of the program with its properties. It answers the
// window's own events (cursor, close, session end, bounds, failures); the form built on it
// answers the rest of WindowEvents.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/components.h"
#include "framework/window_system.h"

namespace qd {

enum class TFormStyle : std::uint8_t { fsNormal, fsStayOnTop };

class TForm : public TObject, public WindowEvents {
 public:
  explicit TForm(TApplication& application);
  // A form built on this one destroys its window in its own destructor, while its
  // handlers still exist.
  ~TForm() override;
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  TApplication& App() { return app_; }
  WindowSystem& Ws() { return app_.Ws(); }
  SystemServices& Services() { return app_.Services(); }

  // Creates the window (hidden) from the properties, then runs the creation handler; when
  // the window cannot be made (HandleAllocated() stays false), no handler runs.
  void CreateWnd();
  // Runs the destroy handler, then destroys the window; once only.
  void Destroy();
  [[nodiscard]] NativeWindow Handle() const { return handle_; }
  [[nodiscard]] bool HandleAllocated() const { return static_cast<bool>(handle_); }

  // Properties as the window is created.
  TFormStyle FormStyle = TFormStyle::fsNormal;
  int MinWidth = 0;
  int MinHeight = 0;
  std::string Caption;

  // Bounds, applied together as one change of the window, and only when they change;
  // width and height never go below the minimum.
  [[nodiscard]] int Left() const { return left_; }
  [[nodiscard]] int Top() const { return top_; }
  [[nodiscard]] int Width() const { return width_; }
  [[nodiscard]] int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetInitialBounds(int left, int top, int width, int height);

  // Translucency: the layered style with a constant alpha; in image mode, the image scaled
  // by it.
  [[nodiscard]] bool AlphaBlend() const { return alphaBlend_; }
  void SetAlphaBlend(bool on);
  [[nodiscard]] std::uint8_t AlphaBlendValue() const { return alphaBlendValue_; }
  void SetAlphaBlendValue(std::uint8_t value);
  // Image mode: the window shows an image with alpha per pixel until it leaves the mode,
  // never a constant alpha of its own; it is drawn into ImagePixels and shown by ShowImage,
  // which also places the window and gives it the image's size; false when refused.
  void UseImageMode();
  // Back to a constant alpha (and a region and paint): the image is dropped.
  void LeaveImageMode();
  [[nodiscard]] bool ImageMode() const { return imageMode_; }
  PixelView ImagePixels(std::int32_t width, std::int32_t height);
  bool ShowImage(int left, int top);

  [[nodiscard]] TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  // Shows the cursor that now applies (application-wide over the window's own).
  void UpdateCursor();

  void Show();
  void Hide();
  std::unique_ptr<Canvas> GetCanvas();
  void AddTimer(TTimer* timer) { timers_.push_back(timer); }
  void RemoveTimer(const TTimer* timer) { std::erase(timers_, timer); }

  // --- the window's own events ---
  NativeCursor OnSetCursor() override;
  void OnCloseRequest() override;
  // Once termination is asked for, a second start waits for this program to end: the
  // window still answers while the exit's save and its box run.
  HandOverAnswer OnHandOverAsked() override;
  // Touchpads and free-spinning wheels send many messages of a fraction of a notch (120):
  // their deltas add up, and each full notch is one step. A notched wheel's message of a
  // notch or more stays one step. A change of direction or keys, or a pause, starts the
  // sum afresh.
  void OnMouseWheelMessage(TShiftState Shift, int WheelDelta, TPoint MousePos,
                           std::uint32_t time) override;
  void OnEndSession() override;
  void OnSuspend() override {}
  // True from a session end on: nothing may wait for the user any more.
  [[nodiscard]] bool EndingSession() const { return endingSession_; }
  void OnBoundsChanged(int left, int top, int width, int height, MovedBy by) override;
  void OnHandlerError(const char* text) override;

 private:
  TApplication& app_;
  NativeWindow handle_;
  bool destroyed_ = false;
  bool endingSession_ = false;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool alphaBlend_ = false;
  std::uint8_t alphaBlendValue_ = 255;
  bool imageMode_ = false;
  // The size of the image last lent: the window's once it is shown.
  std::int32_t imageWidth_ = 0;
  std::int32_t imageHeight_ = 0;
  TCursor cursor_ = crDefault;
  std::vector<TTimer*> timers_;
  // The wheel's deltas since the last step, and the keys and time of the last message.
  int wheelSum_ = 0;
  TShiftState wheelShift_;
  std::uint32_t wheelTime_ = 0;
};

// One notch of a wheel, as Windows counts it (WHEEL_DELTA).
inline constexpr int kWheelNotch = 120;
// Longer than this between two wheel messages, and the next starts a new sum.
inline constexpr std::uint32_t kWheelPauseMs = 300;

}  // namespace qd
