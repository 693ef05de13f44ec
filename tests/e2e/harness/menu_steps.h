// The context menu worked as a user does: opened with a right-click, an item chosen with a
// click where the probe says it is, or closed with Esc; and the help and colour dialogs it
// opens, worked with clicks where the probe says their controls are.
#pragma once

// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "arrow_run.h"

namespace qd::e2e {

// Right-clicks at (x, y) and waits for the menu; nothing if none opened.
inline std::optional<ProbeMenu> OpenMenu(ArrowRun& run, int x, int y) {
  run.Input().MoveTo(x, y);
  run.Input().Click(3);
  std::optional<ProbeMenu> menu;
  WaitUntil(20s, [&] {
    const auto menus = run.S().WinProbe().Menus("Quiverdart.exe");
    if (!menus || menus->size() != 1 || menus->front().items.size() != 5) return false;
    menu = menus->front();
    return true;
  });
  return menu;
}

inline bool MenuClosed(ArrowRun& run) {
  return WaitUntil(20s, [&] {
    const auto menus = run.S().WinProbe().Menus("Quiverdart.exe");
    return menus && menus->empty();
  });
}

// Clicks an item of the open menu, where the probe says it is, once the menu has seen the
// pointer arrive there: a click that comes first closes the menu without choosing.
inline testing::AssertionResult Choose(ArrowRun& run, const ProbeMenu& menu, std::size_t item) {
  const WinRect& r = menu.items.at(item).rect;
  run.Input().MoveTo(static_cast<int>((r.left + r.right) / 2),
                     static_cast<int>((r.top + r.bottom) / 2));
  const bool hilited = WaitUntil(10s, [&] {
    const auto menus = run.S().WinProbe().Menus("Quiverdart.exe");
    return menus && menus->size() == 1 && menus->front().items.size() > item &&
           menus->front().items[item].hilited;
  });
  if (!hilited) return testing::AssertionFailure() << "item " << item << " never highlighted";
  run.Input().Click(1);
  if (MenuClosed(run)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the menu stayed open after clicking item " << item;
}

// Closes the open menu with Esc. Not with a click beside it: Wine destroys the menu on the
// press and may then drop the release, and a left button it still thinks held turns the
// next move over the arrow into a drag.
inline testing::AssertionResult Dismiss(ArrowRun& run) {
  run.Input().Key(XK_Escape);
  if (MenuClosed(run)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the menu stayed open";
}

// The help and colour dialogs are "#32770" windows of the program.
inline std::optional<ProbeWindow> OpenDialog(ArrowRun& run) {
  std::optional<ProbeWindow> dialog;
  WaitUntil(20s, [&] {
    for (auto& w : run.S().WinProbe().Windows("Quiverdart.exe")) {
      if (w.className == "#32770" && w.visible) {
        dialog = std::move(w);
        return true;
      }
    }
    return false;
  });
  return dialog;
}

// Gone for Windows, and its X window gone too: without a window manager Wine withdraws it
// a little later, and until then it takes the clicks meant for what lies beneath.
inline bool NoDialog(ArrowRun& run, const WinRect& was) {
  // Any X window of about the dialog's size over its place (Wine may size the X window a
  // little differently from the Windows one), but the arrow's; a larger one, another
  // program's window behind the dialog, stays.
  constexpr int kSlack = 64;
  auto covers = [&](const MappedWindow& m) {
    const Rect& g = m.geometry;
    return m.window != run.Arrow() && m.name != "FormMain" && g.width > 1 && g.height > 1 &&
           g.width <= was.Width() + kSlack && g.height <= was.Height() + kSlack &&
           g.x < was.right && g.x + g.width > was.left && g.y < was.bottom &&
           g.y + g.height > was.top;
  };
  return WaitUntil(20s, [&] {
    const auto windows = run.S().WinProbe().Windows("Quiverdart.exe");
    const auto mapped = run.X().MappedWindows();
    return !windows.empty() &&
           std::none_of(windows.begin(), windows.end(),
                        [](const auto& w) { return w.className == "#32770" && w.visible; }) &&
           std::none_of(mapped.begin(), mapped.end(), covers);
  });
}

// The child control of that id, or none.
inline const ProbeChild* Child(const ProbeWindow& dialog, long id) {
  for (const auto& child : dialog.children) {
    if (child.id == id) return &child;
  }
  return nullptr;
}

// A click in the middle of a rectangle in screen coordinates.
inline void ClickAt(ArrowRun& run, const WinRect& r) {
  run.Input().MoveTo(static_cast<int>((r.left + r.right) / 2),
                     static_cast<int>((r.top + r.bottom) / 2));
  run.Input().Click(1);
}

// Control ids of the system colour dialog.
inline constexpr long kIdOk = 1;
inline constexpr long kIdCancel = 2;
inline constexpr long kIdRed = 706;
inline constexpr long kIdGreen = 707;
inline constexpr long kIdBlue = 708;
inline constexpr long kIdBasicColours = 720;  // 8 columns by 6 rows of swatches

// Clicks one basic colour swatch of the open colour dialog and reads back the colour the
// dialog now holds from its red, green and blue fields.
inline std::optional<std::uint32_t> PickSwatch(ArrowRun& run, int row, int column) {
  const auto dialog = OpenDialog(run);
  if (!dialog) return std::nullopt;
  const ProbeChild* swatches = Child(*dialog, kIdBasicColours);
  if (swatches == nullptr) return std::nullopt;
  const WinRect& r = swatches->rect;
  const long w = r.Width() / 8;
  const long h = r.Height() / 6;
  run.Input().MoveTo(static_cast<int>(r.left + column * w + w / 2),
                     static_cast<int>(r.top + row * h + h / 2));
  run.Input().Click(1);
  std::optional<std::uint32_t> colour;
  WaitUntil(10s, [&] {
    const auto now = OpenDialog(run);
    if (!now) return false;
    const ProbeChild* fields[] = {Child(*now, kIdRed), Child(*now, kIdGreen),
                                  Child(*now, kIdBlue)};
    std::uint32_t value = 0;
    for (int i = 0; i < 3; ++i) {
      if (fields[i] == nullptr || fields[i]->text.empty()) return false;
      value |= static_cast<std::uint32_t>(std::stoul(fields[i]->text)) << (8 * i);
    }
    colour = value;
    return true;
  });
  return colour;
}

// Clicks the button of that id of the open dialog, as a presenter would; a success once the
// dialog is gone.
inline testing::AssertionResult PressDialogButton(ArrowRun& run, long id) {
  const auto dialog = OpenDialog(run);
  const ProbeChild* button = dialog ? Child(*dialog, id) : nullptr;
  if (button == nullptr) return testing::AssertionFailure() << "no button " << id;
  ClickAt(run, button->rect);
  if (NoDialog(run, dialog->rect)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the dialog stayed open";
}

}  // namespace qd::e2e
