// The context menu, the help dialog, the colour dialog and the interface language under
// Wine: where the menu opens and what its items say and show, what clicking them does, and
// what reaches the settings file. Menu items are read through the probe and clicked where
// it reports them.
// GoogleTest before Xlib, whose macros (None, Bool) break its templates.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "arrow_run.h"
#include "arrow_shape.h"
#include "menu_steps.h"

namespace qd::e2e {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Item {
  std::string caption;
  std::string shortcut;
  bool checked;
  bool grayed;
};

void ExpectItems(const ProbeMenu& menu, const std::array<Item, 5>& expected,
                 const std::string& when) {
  ASSERT_EQ(menu.items.size(), expected.size()) << when;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const ProbeMenuItem& got = menu.items[i];
    EXPECT_EQ(got.caption, expected[i].caption) << when << ", item " << i;
    EXPECT_EQ(got.shortcut, expected[i].shortcut) << when << ", item " << i;
    EXPECT_EQ(got.checked, expected[i].checked) << when << ", item " << i;
    EXPECT_EQ(got.grayed, expected[i].grayed) << when << ", item " << i;
  }
}

// The help dialog's text, or a failure if none opened or it is not the help.
testing::AssertionResult HelpShown(ArrowRun& run, const std::string& beginning,
                                   const std::string& paragraph, WinRect& ok, WinRect& box) {
  const auto dialog = OpenDialog(run);
  if (!dialog) {
    auto failure = testing::AssertionFailure() << "no help dialog; windows:";
    for (const auto& w : run.S().WinProbe().Windows("Quiverdart.exe")) {
      failure << " " << w.className << (w.visible ? "" : "(hidden)");
    }
    return failure;
  }
  if (dialog->title != "Quiverdart") {
    return testing::AssertionFailure() << "help captioned \"" << dialog->title << "\"";
  }
  const ProbeChild* text = nullptr;
  const ProbeChild* button = nullptr;
  for (const auto& child : dialog->children) {
    if (child.className == "Static" && child.text.size() > beginning.size()) text = &child;
    if (child.className == "Button") button = &child;
  }
  if (text == nullptr || button == nullptr) {
    return testing::AssertionFailure() << "the help dialog lacks its text or its button";
  }
  ok = button->rect;
  box = dialog->rect;
  if (text->text.rfind(beginning, 0) != 0) {
    return testing::AssertionFailure() << "the help text begins \""
                                       << text->text.substr(0, beginning.size()) << "\"";
  }
  if (text->text.find(paragraph) == std::string::npos) {
    return testing::AssertionFailure() << "the help text lacks \"" << paragraph << "\"";
  }
  return testing::AssertionSuccess();
}

struct LanguageCase {
  const char* name;
  const char* locale;
  std::array<std::string, 5> captions;  // help, colour, lock, Esc item, exit
  std::string unlockCaption;
  std::string helpBeginning;  // the title line, three CRs, the start of the first paragraph
  std::string helpParagraph;  // the second paragraph, between its CRs
};
void PrintTo(const LanguageCase& c, std::ostream* out) { *out << c.name; }

const std::string kTitleLine = "Quiverdart  Version 1.0     ";

const LanguageCase kLanguages[] = {
    {"English",
     "",
     {"Help", "Color", "Lock", "  Esc = Exit", "Exit"},
     "Unlock",
     kTitleLine,
     "\r\rThe pointer can be dragged across the entire screen by grabbing it with the left "
     "mouse button. \r\r"},
    {"German",
     "de_DE.UTF-8",
     {"Hilfe", "Farbe", "Sperren", "  Esc = Beenden", "Beenden"},
     "Entsperren",
     kTitleLine,
     "\r\rDieser Zeiger kann auf die \xC3\xBC"
     "bliche Art mit der Maus gegriffen und \xC3\xBC"
     "ber den gesamten Bildschirm verschoben werden. \r\r"},
};

class ContextMenu : public testing::TestWithParam<LanguageCase> {};

// One run through the menu in the user's language: it opens above and left of the cursor,
// centred on x - 36 and hanging from y - 30; Help and F1 show the help text; the lock item
// locks (and greys the colour item at the next opening); the Esc item moves the exit
// shortcut to Alt+F4 and stops Esc from ending the program; Exit ends it and saves.
TEST_P(ContextMenu, ItemsInTheUsersLanguageAndWhatTheyDo) {
  const LanguageCase& c = GetParam();
  ArrowRun run(kWidth, kHeight, {}, c.locale);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  const auto [x, y] = OnScreen(ArrowPose{}, -3.5, 0);

  auto menu = OpenMenu(run, x, y);
  ASSERT_TRUE(menu) << "no menu with five items opened";
  EXPECT_LE(std::abs(menu->rect.left + menu->rect.right - 2 * (x - 36)), 1)
      << "not centred on the cursor's x - 36: " << menu->rect.left << ".." << menu->rect.right;
  EXPECT_EQ(menu->rect.top, y - 30) << "not hanging from the cursor's y - 30";
  ExpectItems(*menu,
              {{{c.captions[0], "F1", false, false},
                {c.captions[1], "F2", false, false},
                {c.captions[2], "F3", false, false},
                {c.captions[3], "", true, false},
                {c.captions[4], "Esc", false, false}}},
              "at the first opening");

  ASSERT_TRUE(Choose(run, *menu, 0));
  WinRect ok;
  WinRect box;
  ASSERT_TRUE(HelpShown(run, c.helpBeginning, c.helpParagraph, ok, box)) << "from the menu";
  ClickAt(run, ok);
  ASSERT_TRUE(NoDialog(run, box)) << "the help stayed open";
  run.Input().MoveTo(x, y);
  run.Input().Key(XK_F1);
  ASSERT_TRUE(HelpShown(run, c.helpBeginning, c.helpParagraph, ok, box)) << "from F1";
  ClickAt(run, ok);
  ASSERT_TRUE(NoDialog(run, box)) << "the help stayed open";

  menu = OpenMenu(run, x, y);
  ASSERT_TRUE(menu);
  ASSERT_TRUE(Choose(run, *menu, 2));
  menu = OpenMenu(run, x, y);
  ASSERT_TRUE(menu);
  ExpectItems(*menu,
              {{{c.captions[0], "F1", false, false},
                {c.captions[1], "F2", false, true},
                {c.unlockCaption, "F3", true, false},
                {c.captions[3], "", true, false},
                {c.captions[4], "Esc", false, false}}},
              "after locking");
  ASSERT_TRUE(Choose(run, *menu, 3));
  menu = OpenMenu(run, x, y);
  ASSERT_TRUE(menu);
  ExpectItems(*menu,
              {{{c.captions[0], "F1", false, false},
                {c.captions[1], "F2", false, true},
                {c.unlockCaption, "F3", true, false},
                {c.captions[3], "", false, false},
                {c.captions[4], "Alt+F4", false, false}}},
              "after unchecking Esc");
  ASSERT_TRUE(Dismiss(run));

  // Esc now does nothing; the turn after it shows that it was handled.
  run.Input().MoveTo(x, y);
  run.Input().Key(XK_Escape);
  run.Input().Key(XK_Left);
  ArrowPose turned;
  turned.orientation = 1;
  ASSERT_TRUE(WaitUntil(10s, [&] { return run.Now() == ExpectedBounds(turned); }))
      << "the turn after Esc did not show; window at " << run.Now();
  EXPECT_TRUE(run.Program().Running()) << "Esc ended the program";

  const auto [tx, ty] = OnScreen(turned, -3.5, 0);
  menu = OpenMenu(run, tx, ty);
  ASSERT_TRUE(menu);
  ASSERT_TRUE(Choose(run, *menu, 4));
  const auto status = run.Program().WaitFor(kExitTimeout);
  ASSERT_TRUE(status) << "Exit did not end the program";
  EXPECT_TRUE(status->exited && status->code == 0);
  const std::string settings = ReadText(run.SettingsFile());
  EXPECT_EQ(IniInteger(settings, "Pointer", "SettingsLocked"), 1) << settings;
  EXPECT_EQ(IniInteger(settings, "Pointer", "EscTerminates"), 0) << settings;
  EXPECT_EQ(IniInteger(settings, "Pointer", "Orientation"), 1) << settings;
}

INSTANTIATE_TEST_SUITE_P(Languages, ContextMenu, testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

constexpr std::array<std::uint32_t, 12> kPalette = {0x0000FF, 0x0080FF, 0x00FFFF, 0x00FF80,
                                                    0x00FF00, 0x80FF00, 0xFFFF00, 0xFF8000,
                                                    0xFF0000, 0xFF0080, 0xFF00FF, 0x8000FF};

int PaletteIndex(std::uint32_t colorRef) {
  const auto at = std::find(kPalette.begin(), kPalette.end(), colorRef);
  return at == kPalette.end() ? -1 : static_cast<int>(at - kPalette.begin());
}

// The colour dialog, from the menu and from F2: a confirmed colour recolours the arrow and
// sets the palette index (the next Ctrl step goes on from it), a colour off the palette is
// stored with -1, and cancelling changes nothing.
TEST(ColourDialog, ConfirmedColoursRecolourTheArrowAndCancelChangesNothing) {
  ArrowRun run(kWidth, kHeight);
  ASSERT_NE(run.Arrow(), 0u) << "no window mapped";
  const auto [x, y] = OnScreen(ArrowPose{}, -3.5, 0);
  auto fill = [&] { return run.X().Pixel(x, y); };
  auto filled = [&](std::uint32_t colorRef) {
    return WaitUntil(10s, [&] { return fill() == Rgb::FromColorRef(colorRef); }, 5ms);
  };

  auto menu = OpenMenu(run, x, y);
  ASSERT_TRUE(menu);
  ASSERT_TRUE(Choose(run, *menu, 1));
  // The second row's fifth swatch is cyan, a palette colour.
  const auto cyan = PickSwatch(run, 1, 4);
  ASSERT_TRUE(cyan) << "could not pick a swatch";
  const int index = PaletteIndex(*cyan);
  ASSERT_NE(index, -1) << std::hex << "swatch " << *cyan << " is no palette colour";
  ASSERT_TRUE(PressDialogButton(run, kIdOk));
  EXPECT_TRUE(filled(*cyan)) << "the arrow is " << fill();
  run.Input().MoveTo(x, y);
  run.Input().Wheel(1, kCtrl);
  const std::uint32_t next = kPalette[static_cast<std::size_t>(index + 1) % kPalette.size()];
  EXPECT_TRUE(filled(next)) << "the Ctrl step did not go on from the chosen palette colour";

  run.Input().MoveTo(x, y);
  run.Input().Key(XK_F2);
  // The first swatch, a light red, is off the palette.
  const auto offPalette = PickSwatch(run, 0, 0);
  ASSERT_TRUE(offPalette) << "could not pick a swatch";
  ASSERT_EQ(PaletteIndex(*offPalette), -1);
  ASSERT_TRUE(PressDialogButton(run, kIdOk));
  EXPECT_TRUE(filled(*offPalette)) << "the arrow is " << fill();

  run.Input().MoveTo(x, y);
  run.Input().Key(XK_F2);
  ASSERT_TRUE(PickSwatch(run, 2, 2));
  ASSERT_TRUE(PressDialogButton(run, kIdCancel));
  EXPECT_EQ(fill(), Rgb::FromColorRef(*offPalette)) << "cancelling changed the colour";

  ASSERT_TRUE(run.Close()) << "the program did not end the orderly way";
  const std::string settings = ReadText(run.SettingsFile());
  EXPECT_EQ(IniInteger(settings, "Pointer", "Color"), static_cast<long>(*offPalette))
      << settings;
  EXPECT_EQ(IniInteger(settings, "Pointer", "ColorIndex"), -1) << settings;
}

}  // namespace
}  // namespace qd::e2e
