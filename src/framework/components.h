// Components a form owns: timers, the popup menu with its items, the colour dialog.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/types.h"
#include "framework/window_system.h"

namespace qd {

class TForm;

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

class TComponent : public TObject {
 public:
  explicit TComponent(TForm& owner) : owner_(owner) {}
  [[nodiscard]] TForm& Owner() const { return owner_; }

 private:
  TForm& owner_;
};

// A per-window timer ticking through the message loop: its ticks reach the form's OnTimer
// with its id.
class TTimer : public TComponent {
 public:
  TTimer(TForm& owner, unsigned id);
  ~TTimer() override;
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  [[nodiscard]] bool Enabled() const { return enabled_; }
  // Enabling a stopped timer starts a fresh interval; a refused timer raises
  // EOutOfResources and leaves it stopped.
  void SetEnabled(bool enabled);
  [[nodiscard]] unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms) { interval_ = ms; }
  [[nodiscard]] unsigned Id() const { return id_; }

 private:
  unsigned id_;
  unsigned interval_ = 1000;
  bool enabled_ = false;
};

// Shortcut codes: the virtual key in the low byte, modifiers above.
using TShortCut = std::uint16_t;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
std::string ShortCutToText(TShortCut shortcut);

class TMenuItem : public TComponent {
 public:
  using TComponent::TComponent;
  std::string Caption;  // Windows-1252
  TShortCut ShortCut = 0;
  bool AutoCheck = false;
  bool Checked = false;
  bool Enabled = true;
  std::string Glyph;  // bitmap resource name, empty for none
};

class TPopupMenu : public TComponent {
 public:
  using TComponent::TComponent;
  std::vector<TMenuItem*> Items;
  // Opens the menu at a screen point and returns the item chosen, or null; an auto-check
  // item has flipped its mark by then.
  TMenuItem* Popup(int x, int y);
};

enum TColorDialogOption : std::uint8_t { cdFullOpen = 1, cdSolidColor = 2 };

class TColorDialog : public TComponent {
 public:
  using TComponent::TComponent;
  TColor Color = clBlack;
  unsigned Options = 0;
  // Each slot's hexadecimal text; text that is not hexadecimal opens its slot empty.
  TCustomColors CustomColors{};
  // Runs the system colour dialog; true when the user confirmed it.
  bool Execute();
};

}  // namespace qd
