// The form: one top-level window of the program with its properties and events.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/application.h"
#include "framework/components.h"
#include "framework/window_system.h"

namespace qd {

enum class TFormStyle : std::uint8_t { fsNormal, fsStayOnTop };

using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, std::uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;
using TMouseWheelEvent = std::function<void(TObject* sender, TShiftState shift, int wheelDelta,
                                            TPoint mousePos, bool& handled)>;
using TContextPopupEvent = std::function<void(TObject* sender, TPoint mousePos, bool& handled)>;
using TPaintEvent = std::function<void(Canvas& canvas)>;
using THotKeyEvent = std::function<void(TObject* sender, int hotKeyId)>;

class TForm : public TObject {
 public:
  explicit TForm(TApplication& application);
  ~TForm() override;
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  TApplication& App() { return app_; }
  WindowSystem& Ws() { return app_.Ws(); }
  SystemServices& Services() { return app_.Services(); }

  // Creates the window (hidden) from the properties, then runs OnCreate; when the window
  // cannot be made (HandleAllocated() stays false), OnCreate does not run.
  void CreateWnd();
  // Runs OnDestroy, then destroys the window; once only.
  void Destroy();
  [[nodiscard]] NativeWindow Handle() const { return handle_; }
  [[nodiscard]] bool HandleAllocated() const { return static_cast<bool>(handle_); }

  // Properties as the window is created.
  TFormStyle FormStyle = TFormStyle::fsNormal;
  int MinWidth = 0;
  int MinHeight = 0;
  std::string Caption;

  // Bounds: each setter is one change of the window; width and height never go below
  // the minimum.
  [[nodiscard]] int Left() const { return left_; }
  [[nodiscard]] int Top() const { return top_; }
  [[nodiscard]] int Width() const { return width_; }
  [[nodiscard]] int Height() const { return height_; }
  void SetLeft(int value);
  void SetTop(int value);
  void SetWidth(int value);
  void SetHeight(int value);
  void SetInitialBounds(int left, int top, int width, int height);

  // The window colour; a new value repaints, the same value does nothing.
  [[nodiscard]] TColor Color() const { return color_; }
  void SetColor(TColor color);

  // Translucency: the layered style with a constant alpha.
  [[nodiscard]] bool AlphaBlend() const { return alphaBlend_; }
  void SetAlphaBlend(bool on);
  [[nodiscard]] std::uint8_t AlphaBlendValue() const { return alphaBlendValue_; }
  void SetAlphaBlendValue(std::uint8_t value);

  [[nodiscard]] TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  // Shows the cursor that now applies (application-wide over the window's own).
  void UpdateCursor();

  void Show();
  void Hide();
  std::unique_ptr<Canvas> GetCanvas();
  [[nodiscard]] TTimer* FindTimer(unsigned id) const;
  void AddTimer(TTimer* timer) { timers_.push_back(timer); }
  void RemoveTimer(const TTimer* timer) { std::erase(timers_, timer); }

  // Events.
  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnDblClick;
  TContextPopupEvent OnContextPopup;
  // Drawn over the fill in the colour whenever the window system repaints the window.
  TPaintEvent OnRepaint;
  // Monitors or work areas changed.
  TNotifyEvent OnDisplayChange;
  THotKeyEvent OnHotKey;

 private:
  // Decoded messages from the backend, each dispatched under the error guard.
  class Sink final : public WindowEvents {
   public:
    explicit Sink(TForm& form) : form_(form) {}
    void OnPaint(Canvas& canvas) override;
    void OnMouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void OnMouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void OnMouseMove(TShiftState shift, int x, int y) override;
    void OnDblClick() override;
    void OnMouseWheel(TShiftState shift, int delta, TPoint screenPos) override;
    void OnKeyDown(std::uint16_t key, TShiftState shift) override;
    void OnKeyUp(std::uint16_t key, TShiftState shift) override;
    void OnKeyPress(char ch) override;
    void OnContextPopup(TPoint screenPos) override;
    void OnTimer(unsigned timerId) override;
    NativeCursor OnSetCursor() override;
    void OnCloseRequest() override;
    void OnEndSession() override;
    void OnRestore() override;
    void OnDisplayChange() override;
    void OnBoundsChanged(int left, int top, int width, int height) override;
    void OnHotKey(int hotKeyId) override;

   private:
    TForm& form_;
  };

  void ApplyBounds();
  // Runs the handler assigned to an event, if any, under the application's error guard.
  template <typename Event, typename... Args>
  void Fire(const Event& event, Args&&... args) {
    if (event) {
      app_.Dispatch(event, this, std::forward<Args>(args)...);
    }
  }

  Sink sink_{*this};

  TApplication& app_;
  NativeWindow handle_;
  bool destroyed_ = false;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  TColor color_ = clBlack;
  bool alphaBlend_ = false;
  std::uint8_t alphaBlendValue_ = 255;
  TCursor cursor_ = crDefault;
  std::vector<TTimer*> timers_;
};

}  // namespace qd
