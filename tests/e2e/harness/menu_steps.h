// The context menu worked as a user does: opened with a right-click, an item chosen with a
// click where the probe says it is, or closed with Esc.
#pragma once

// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstddef>
#include <optional>

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

}  // namespace qd::e2e
