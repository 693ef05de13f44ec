#include "framework/components.h"

#include <array>
#include <cctype>

#include "framework/errors.h"
#include "framework/forms.h"
#include "framework/strings.h"

namespace qd {

TTimer::TTimer(TForm& owner, unsigned id) : TComponent(owner), id_(id) { owner.AddTimer(this); }

TTimer::~TTimer() {
  TForm& form = Owner();
  if (enabled_ && form.HandleAllocated()) {
    form.Ws().StopTimer(form.Handle(), id_);
  }
  form.RemoveTimer(this);
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) {
    return;
  }
  TForm& form = Owner();
  // A form without a window (never made, or destroyed under a running handler at a
  // session end) has no timers to start or stop.
  if (!form.HandleAllocated()) {
    enabled_ = enabled;
    return;
  }
  if (!enabled) {
    enabled_ = false;
    form.Ws().StopTimer(form.Handle(), id_);
    return;
  }
  if (!form.Ws().StartTimer(form.Handle(), id_, interval_)) {
    throw EOutOfResources("Nicht gen\xFCgend Timer verf\xFCgbar");
  }
  enabled_ = true;
}

std::string ShortCutToText(TShortCut shortcut) {
  const unsigned key = shortcut & 0xFFU;
  std::string name;
  if (key >= 112 && key <= 123) {
    name = 'F';
    name += std::to_string(key - 111);
  } else if (key == 27) {
    name = "Esc";
  } else if (std::isalnum(static_cast<int>(key)) != 0) {
    name = std::string(1, static_cast<char>(key));
  } else {
    return {};
  }
  std::string text;
  if ((shortcut & scShift) != 0) {
    text += "Shift+";
  }
  if ((shortcut & scCtrl) != 0) {
    text += "Ctrl+";
  }
  if ((shortcut & scAlt) != 0) {
    text += "Alt+";
  }
  text += name;
  return text;
}

TMenuItem* TPopupMenu::Popup(int x, int y) {
  std::vector<MenuItemView> views;
  views.reserve(Items.size());
  for (const TMenuItem* item : Items) {
    views.push_back({Windows1252ToUtf8(item->Caption), ShortCutToText(item->ShortCut),
                     item->Checked, item->Enabled, item->Glyph});
  }
  TForm& form = Owner();
  const int choice = form.Ws().TrackPopupMenu(form.Handle(), views, {x, y});
  if (choice <= 0 || static_cast<std::size_t>(choice) > Items.size()) {
    return nullptr;
  }
  TMenuItem* chosen = Items[static_cast<std::size_t>(choice) - 1];
  if (chosen->AutoCheck) {
    chosen->Checked = !chosen->Checked;
  }
  return chosen;
}

}  // namespace qd

namespace qd {

bool TColorDialog::Execute() {
  constexpr TColor kEmptySlot = 0xFFFFFFFF;
  std::array<TColor, 16> custom{};
  for (std::size_t slot = 0; slot < custom.size(); ++slot) {
    // A value that is not hexadecimal leaves its slot empty rather than stopping the
    // dialog from opening.
    const std::string hex = "$" + CustomColors[slot];
    custom[slot] = hex.size() == 1 ? kEmptySlot : static_cast<TColor>(StrToIntDef(hex, -1));
  }
  TColor chosen = Color;
  TForm& form = Owner();
  const bool confirmed = form.Ws().ChooseColor(
      form.Handle(), chosen, custom, (Options & cdFullOpen) != 0, (Options & cdSolidColor) != 0);
  // A dialog ended by the program's own end was not confirmed by the user, whatever the
  // platform reports for it.
  if (!confirmed || form.App().Terminated()) {
    return false;
  }
  Color = chosen;
  for (std::size_t slot = 0; slot < custom.size(); ++slot) {
    CustomColors[slot] = IntToHex(custom[slot], 6);
  }
  return true;
}

}  // namespace qd
