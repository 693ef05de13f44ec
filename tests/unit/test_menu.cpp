#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "fake_window_system.h"
#include "framework/ini_file.h"
#include "framework/strings.h"
#include "model/tables.h"
#include "program_fixture.h"
#include "settings/settings.h"
#include "window/UnitMain.h"
#include "window/help_texts.h"

namespace qd {
namespace {

constexpr TColor kEmptySlot = 0xFFFFFFFF;

// One menu item as the window system was asked to show it.
struct ShownItem {
  std::string caption;
  std::string shortcut;
  bool checked = false;
  bool enabled = true;
  std::string glyph;
  friend bool operator==(const ShownItem&, const ShownItem&) = default;
};

std::ostream& operator<<(std::ostream& os, const ShownItem& item) {
  return os << "[" << item.caption << "|" << item.shortcut << (item.checked ? "|checked" : "")
            << (item.enabled ? "" : "|disabled") << "|" << item.glyph << "]";
}

struct ShownMenu {
  TPoint at;
  std::vector<ShownItem> items;
};

// Reads the fake's TrackPopupMenu line back into its parts.
ShownMenu ParseMenu(const std::string& line) {
  ShownMenu menu;
  std::smatch head;
  EXPECT_TRUE(std::regex_search(line, head, std::regex("^TrackPopupMenu (-?\\d+) (-?\\d+)")));
  menu.at = {std::stoi(head[1]), std::stoi(head[2])};
  const std::regex itemPattern(
      "\\[([^|\\]]*)\\|([^|\\]]*)(\\|checked)?(\\|disabled)?\\|([^\\]]*)\\]");
  for (auto it = std::sregex_iterator(line.begin(), line.end(), itemPattern);
       it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    menu.items.push_back({m[1], m[2], m[3].matched, !m[4].matched, m[5]});
  }
  return menu;
}

// The help texts are written here in UTF-8 and compared as Windows-1252.
std::string ToWindows1252(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out += utf8[i++];
      continue;
    }
    unsigned code = 0;
    if ((lead & 0xE0U) == 0xC0U) {
      code = ((lead & 0x1FU) << 6U) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3FU);
      i += 2;
    } else {
      code = ((lead & 0x0FU) << 12U) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3FU) << 6U) |
             (static_cast<unsigned char>(utf8[i + 2]) & 0x3FU);
      i += 3;
    }
    if (code == 0x2014) {
      out += '\x97';
    } else {
      EXPECT_TRUE(code >= 0xA0 && code <= 0xFF) << code;
      out += static_cast<char>(code);
    }
  }
  return out;
}

// One line a paragraph, as written.
// clang-format off
const char* const kEnglishParagraphs[] = {
    "The Quiverdart program displays a topmost uniformly colored arrow to be used as pointer to any location of interest on the computer screen. It can be used for any kind of presentation where the screen contents is projected before an audience by means of a beamer. ",
    "The pointer can be dragged across the entire screen by grabbing it with the left mouse button. ",
    "The pointer orientation can be changed in 15 degree increments by rotating the mouse wheel or by pressing the cursor keys up/down or left/right. ",
    "The pointer size can be increased/decreased within reasonable limits by rotating the mouse wheel or by pressing the cursor keys up/down or left/right in combination with with the SHIFT key. ",
    "Rotating the mouse wheel or pressing the cursor keys up/down or left/right in combination with with the CTRL key allows for a quick switching of the pointer color picked from a set of twelve predefined colors. ",
    "The pointer color can also be chosen from a color selection dialog box (to be invoked from the context pop-up menu or by pressing the F2 function key). The standard pointer colors black and white can be toggled quickly by means of the space bar. Double-clicking the pointer will set its color to the desktop pixel color at the current mouse cursor position. ",
    "The opaqueness of the pointer can be adjusted between entirely opaque and fully transparent. Setting of the opaqueness is done by rotating the mouse wheel or by pressing the cursor keys up/down or left/right in combination with with the ALT key. ",
    "A middle mouse button click will smoothly fade in or fade out the pointer. In case the faded out and therefore entirely transparent pointer cannot be located any more, it can be made visible again simply by increasing its opaqueness or by minimizing and then restoring the pointer window even if the Lock Settings option (see below) has been activated.",
    "Accidentally changing the basic settings size, color and transpareny can be prevented by activating the Lock Settings option (from the context pop-up menu or by pressing the F3 function key). ",
    "A right mouse button click will open the context pop-up menu with the menu items Help (F1), Color Selection (F2), Lock/Unlock Settings (F3), Actvate/Deactivate Program Termination by pressing the ESC key and Exit Program (ESC/ALT+F4). ",
    "Starting the program with the command line switches  /?  or  —?  will invoke this help function. ",
};
const char* const kGermanParagraphs[] = {
    "Das Programm Quiverdart erscheint als ein zuoberst auf dem Desktop liegender Pfeil, der auf jeden gewünschten Punkt auf der Bildschirmfläche zeigen kann. Es eignet sich damit für jegliche Art von Präsentation, bei der der Bildschirminhalt über einen Beamer vor einem Auditorium projiziert wird. ",
    "Dieser Zeiger kann auf die übliche Art mit der Maus gegriffen und über den gesamten Bildschirm verschoben werden. ",
    "Die Richtung des Zeigers kann in 15°-Schritten verändert werden durch ein Drehen des Mausrads bzw. durch Betätigen der Cursor-Tasten auf/ab oder links/rechts. ",
    "Die Größe des Zeigers kann innerhalb sinnvoller Grenzen verändert werden durch ein Drehen des Mausrads bzw. durch Betätigen der Cursor-Tasten auf/ab oder links/rechts bei gleichzeitig gedrückter Umschalt-Taste. ",
    "Das Drehen des Mausrads bzw. das Betätigen der Cursor-Tasten auf/ab oder links/rechts bei gleichzeitig gedrückter Strg-Taste bewirkt ein schnelles Auswählen der Zeiger-Farbe aus einer Palette mit zwölf vordefinierten Farben. ",
    "Die Farbe des Zeigers kann mit Hilfe eines Farbauswahl-Dialogs auch auf beliebige Werte eingestellt werden (Aufruf aus dem Kontext-pop-up-Menü bzw. mit der Funktionstaste F2). Eine schnelle Umschaltung zwischen den beiden Standardfarben Schwarz und Weiß erfolgt mit der Leertaste. Ein Doppelklick auf den Zeiger weist diesem die Farbe des darunter liegenden Desktop-Objekts an der Doppelklick-Position zu. ",
    "Der Transparenzgrad des Zeigers ist einstellbar zwischen opak und völlig transparent. Die Einstellung der Transparenz erfolgt per Mausrad oder mit den Tasten Cursor auf/ab oder links/rechts bei gleichzeitig niedergedrückter Alt-Taste. ",
    "Ein Klick mit der mittleren Maustaste bewirkt ein sanftes Ein- und Ausblenden des Zeigers. Sollte ein ausgeblendeter und somit völlig transparenter Zeiger nicht mehr auffindbar sein, dann kann er wieder sichtbar gemacht werden, und zwar am einfachsten durch das Reduzieren der Transparenz oder auch bei aktivierter Sperre der Grundeinstellungen (s.u.) durch Minimieren und anschließendes Wiederherstellen des Zeiger-Fensters. ",
    "Zur Vorbeugung gegen ein versehentliches Verändern der Grundeinstellungen Größe, Farbe und Transparenz des Zeigers kann die Option Grundeinstellungen sperren aktiviert werden (über das Kontext-pop-up-Menü bzw. mit der Funktionstaste F3). ",
    "Ein Kontext-pop-up-Menü (Aufruf per Rechtsklick) gestattet das Öffnen der Hilfe (F1), die Farbeinstellung (F2), das Sperren/Entsperren der Grundeinstellungen (F3), das Aktivieren/Deaktivieren des Tastenkürzels ESC zum Beenden dieses Programms und das Beenden des Programms (ESC/ALT+F4). ",
    "Ein Programmaufruf mit den Kommandozeilen-Schaltern  /?  oder  —?  öffnet diese Hilfe-Funktion. ",
};
// clang-format on

class MenuTest : public test::ProgramTest {
 protected:
  // Opens the menu the way a right click does and chooses the item (1-based; 0 for none).
  ShownMenu OpenMenu(int choice = 0) {
    ws.menuChoices = {choice};
    ws.ClearLog();
    ws.events->FormMainOnContextPopup({3, 3});
    const auto lines = ws.Calls("TrackPopupMenu");
    EXPECT_EQ(lines.size(), 1U);
    return lines.empty() ? ShownMenu{} : ParseMenu(lines.front());
  }
};

enum Item { kHelp = 1, kColor = 2, kLock = 3, kEsc = 4, kExit = 5 };

struct MenuCase {
  TUiLanguage language;
  bool locked;
  bool escTerminates;
  std::vector<ShownItem> items;  // glyphs of the help, lock and exit items left out
};

TEST_F(MenuTest, CaptionsShortcutsAndStatesByLanguageLockAndEsc) {
  const TUiLanguage en = TUiLanguage::English;
  const TUiLanguage de = TUiLanguage::German;
  // clang-format off
  const MenuCase cases[] = {
      {en, false, true,
       {{"Help", "F1", false, true, ""},
        {"Color", "F2", false, true, "ColorsEnabled"},
        {"Lock", "F3", false, true, ""},
        {"  Esc = Exit", "", true, true, ""},
        {"Exit", "Esc", false, true, ""}}},
      {en, true, true,
       {{"Help", "F1", false, true, ""},
        {"Color", "F2", false, false, "ColorsDisabled"},
        {"Unlock", "F3", true, true, ""},
        {"  Esc = Exit", "", true, true, ""},
        {"Exit", "Esc", false, true, ""}}},
      {en, false, false,
       {{"Help", "F1", false, true, ""},
        {"Color", "F2", false, true, "ColorsEnabled"},
        {"Lock", "F3", false, true, ""},
        {"  Esc = Exit", "", false, true, ""},
        {"Exit", "Alt+F4", false, true, ""}}},
      {de, false, true,
       {{"Hilfe", "F1", false, true, ""},
        {"Farbe", "F2", false, true, "ColorsEnabled"},
        {"Sperren", "F3", false, true, ""},
        {"  Esc = Beenden", "", true, true, ""},
        {"Beenden", "Esc", false, true, ""}}},
      {de, true, false,
       {{"Hilfe", "F1", false, true, ""},
        {"Farbe", "F2", false, false, "ColorsDisabled"},
        {"Entsperren", "F3", true, true, ""},
        {"  Esc = Beenden", "", false, true, ""},
        {"Beenden", "Alt+F4", false, true, ""}}},
  };
  // clang-format on
  for (const MenuCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "German " << (c.language == de) << " locked " << c.locked
                                    << " esc " << c.escTerminates);
    Restart(std::string("[Pointer]\r\nSettingsLocked=") + (c.locked ? "1" : "0") +
                "\r\nEscTerminates=" + (c.escTerminates ? "1" : "0") + "\r\n",
            c.language);
    ShownMenu menu = OpenMenu();
    ASSERT_EQ(menu.items.size(), 5U);
    // The help, lock and exit items carry glyphs of their own, the Esc item none.
    for (const Item item : {kHelp, kLock, kExit}) {
      EXPECT_FALSE(menu.items[item - 1].glyph.empty()) << item;
      menu.items[item - 1].glyph.clear();
    }
    EXPECT_EQ(menu.items, c.items);
  }
}

TEST_F(MenuTest, OpensAboveAndLeftOfTheCursorWhereverTheRequestCameFrom) {
  Start();
  // Over the inner area the hand shows, and stays: the menu takes only the window's own
  // cursor, not the application's.
  constexpr NativeCursor kHand{0xF1};
  ws.events->FormMainOnMouseMove({}, 31, 15);
  ASSERT_EQ(ws.window.cursor, kHand);

  struct Case {
    TPoint cursor;
    TPoint requestedAt;  // what the window system reports, e.g. for the menu key
    TPoint menuAt;
  };
  const Case cases[] = {
      {{500, 400}, {500, 400}, {464, 370}},
      {{500, 400}, {-1, -1}, {464, 370}},
      {{0, 0}, {960, 540}, {-36, -30}},
      {{1919, 1079}, {0, 0}, {1883, 1049}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cursor.x << "," << c.cursor.y);
    ws.cursorPos = c.cursor;
    ws.ClearLog();
    ws.events->FormMainOnContextPopup(c.requestedAt);
    const auto lines = ws.Calls("TrackPopupMenu");
    ASSERT_EQ(lines.size(), 1U);
    const ShownMenu menu = ParseMenu(lines.front());
    EXPECT_EQ(menu.at, c.menuAt);
    EXPECT_EQ(ws.window.cursor, kHand);
  }
}

TEST_F(MenuTest, LockItemTogglesTheLockAndTwiceLeavesItAsItWas) {
  for (const bool locked : {false, true}) {
    SCOPED_TRACE(locked);
    Restart(std::string("[Pointer]\r\nSettingsLocked=") + (locked ? "1" : "0") + "\r\n");
    // The item's mark flips before its handler reads it.
    OpenMenu(kLock);
    const ShownMenu between = OpenMenu(kLock);
    ASSERT_EQ(between.items.size(), 5U);
    EXPECT_EQ(between.items[kLock - 1].checked, !locked);
    EXPECT_EQ(between.items[kLock - 1].caption, locked ? "Lock" : "Unlock");
    EXPECT_EQ(between.items[kColor - 1].enabled, locked);

    // Back as it was: a change by F3 shows the next time the menu opens, and is kept.
    ws.events->FormMainOnKeyDown(kKeyF3, {});
    const ShownMenu after = OpenMenu();
    EXPECT_EQ(after.items[kLock - 1].checked, !locked);
    EXPECT_EQ(after.items[kColor - 1].glyph, locked ? "ColorsEnabled" : "ColorsDisabled");
    EXPECT_EQ(Saved().locked, !locked);
  }
}

TEST_F(MenuTest, EscItemSwitchesTheExitShortcutAndWhatEscDoes) {
  Start();
  OpenMenu(kEsc);
  ShownMenu menu = OpenMenu();
  EXPECT_FALSE(menu.items[kEsc - 1].checked);
  EXPECT_EQ(menu.items[kExit - 1].shortcut, "Alt+F4");
  ws.events->FormMainOnKeyPress('\x1B');
  EXPECT_TRUE(ws.Calls("PostQuit").empty());

  OpenMenu(kEsc);
  menu = OpenMenu();
  EXPECT_TRUE(menu.items[kEsc - 1].checked);
  EXPECT_EQ(menu.items[kExit - 1].shortcut, "Esc");
  ws.events->FormMainOnKeyPress('\x1B');
  EXPECT_EQ(ws.Calls("PostQuit").size(), 1U);
}

TEST_F(MenuTest, ExitAsksTheApplicationToTerminate) {
  Start();
  OpenMenu(kExit);
  EXPECT_EQ(ws.Calls("PostQuit").size(), 1U);
  EXPECT_EQ(ws.Calls("DestroyAppWindow").size(), 0U) << "the message loop ends first";
}

TEST_F(MenuTest, ChoosingNothingDoesNothing) {
  Start();
  OpenMenu(0);
  for (const char* call : {"MessageBox", "ChooseColor", "PostQuit", "FillRect"}) {
    EXPECT_EQ(ws.Calls(call).size(), 0U) << call;
  }
  EXPECT_EQ(Saved(), test::LoadedPointer{});
}

// The menu took the keyboard from the slide show; whatever was chosen, it goes back there
// once the menu and the box or dialog it opened are closed.
TEST_F(MenuTest, TheKeyboardGoesBackAfterTheMenuAndWhatItOpened) {
  struct Case {
    int choice;
    const char* openedLast;  // the call just before the last hand-back; empty: none
  };
  const std::vector<Case> cases = {
      {0, ""}, {kHelp, "MessageBox"}, {kColor, "ChooseColor"}, {kLock, ""}, {kEsc, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.choice);
    Restart();
    ws.keyboardOwner = NativeWindow{0x5151};
    OpenMenu(c.choice);
    ASSERT_GE(ws.log.size(), 2U);
    EXPECT_EQ(ws.log.back(), "GiveKeyboardBack " + std::to_string(0x5151));
    const std::string& before = ws.log[ws.log.size() - 2];
    if (*c.openedLast != '\0') {
      EXPECT_EQ(before.rfind(c.openedLast, 0), 0U) << before;
    }
  }
}

TEST_F(MenuTest, HelpIsAPlainBoxCaptionedWithTheApplicationTitle) {
  for (const TUiLanguage language : {TUiLanguage::English, TUiLanguage::German}) {
    SCOPED_TRACE(static_cast<int>(language));
    sys.moduleFileName = "D:\\Talks\\Arrow.exe";
    Restart("", language);
    OpenMenu(kHelp);
    EXPECT_EQ(ws.Calls("MessageBox "), std::vector<std::string>{"MessageBox Arrow"});
    EXPECT_EQ(ws.Calls("ErrorBox ").size(), 0U);
    ASSERT_EQ(ws.messageBoxes.size(), 1U);
    EXPECT_EQ(ws.messageBoxes[0], "Arrow|" + Windows1252ToUtf8(HelpText(language)));
  }
}

struct HelpCase {
  TUiLanguage language;
  const char* const* paragraphs;
  std::vector<const char*> windows1252;  // words whose non-ASCII bytes are checked as such
};

TEST(HelpTexts, BytesAndStructure) {
  const HelpCase cases[] = {
      {TUiLanguage::English, kEnglishParagraphs, {"or  \x97?  will"}},
      {TUiLanguage::German,
       kGermanParagraphs,
       {"gew\xFCnschten", "Gr\366\337e", "Wei\xDF", "\326ffnen", "15\xB0-Schritten",
        "Bildschirmfl\344che", "oder  \x97?  \366ffnet"}},
  };
  for (const HelpCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.language));
    const std::string& text = HelpText(c.language);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_NE(text.back(), '\r');
    const auto titleEnd = text.find('\r');
    ASSERT_NE(titleEnd, std::string::npos);
    const std::string title = text.substr(0, titleEnd);
    EXPECT_TRUE(std::regex_match(title, std::regex("Quiverdart  Version 1\\.0     [^ \r].* ")))
        << title;
    ASSERT_EQ(text.compare(titleEnd, 3, "\r\r\r"), 0);
    EXPECT_NE(text[titleEnd + 3], '\r');

    std::vector<std::string> paragraphs;
    std::string body = text.substr(titleEnd + 3);
    for (std::size_t at = 0;;) {
      const auto end = body.find("\r\r", at);
      paragraphs.push_back(body.substr(at, end == std::string::npos ? end : end - at));
      if (end == std::string::npos) {
        break;
      }
      at = end + 2;
    }
    ASSERT_EQ(paragraphs.size(), 11U);
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
      SCOPED_TRACE(i + 1);
      EXPECT_EQ(paragraphs[i].find('\r'), std::string::npos);
      EXPECT_EQ(paragraphs[i], ToWindows1252(c.paragraphs[i]));
    }
    for (const char* word : c.windows1252) {
      EXPECT_NE(text.find(word), std::string::npos) << word;
    }
    // No UTF-8 left: none of its lead bytes for these letters.
    EXPECT_EQ(text.find('\xC3'), std::string::npos);
    EXPECT_EQ(text.find('\xE2'), std::string::npos);
  }
}

class ColorDialogTest : public MenuTest {
 protected:
  // The custom colours in the settings file the program saved at its end.
  TCustomColors SavedCustomColors() {
    TMemIniFile ini;
    EXPECT_EQ(ReadIniFile(sys, test::kSettingsPath, ini), std::nullopt);
    TCustomColors colors;
    for (std::size_t slot = 0; slot < colors.size(); ++slot) {
      colors[slot] = ini.ReadString(kColorsSection, test::CustomColorKey(slot), "");
    }
    return colors;
  }
  void CtrlStep() { ws.events->FormMainOnMouseWheel(TShiftState(ssCtrl), 120, {0, 0}); }
};

struct ConfirmCase {
  TColor chosen;
  TColor afterCtrlStep;  // from the palette position the choice left
};

TEST_F(ColorDialogTest, ConfirmedColourRecoloursAndIndexes) {
  const auto& p = ColorPalette;
  const ConfirmCase cases[] = {
      {p[0], p[1]},       {p[5], p[6]},       {p[11], p[0]},      {0x00123456, p[0]},
      {clBlack, clBlack}, {clWhite, clWhite}, {0x0080FF01, p[0]}, {0x01000000 | p[2], p[0]},
  };
  Start();
  for (const ConfirmCase& c : cases) {
    SCOPED_TRACE(test::ColorText(c.chosen));
    const TColor before = ws.window.fill;
    ws.chooseColor = [&](TColor& color, std::array<TColor, 16>&) {
      color = c.chosen;
      return true;
    };
    OpenMenu(kColor);
    EXPECT_EQ(
        ws.Calls("ChooseColor"),
        std::vector<std::string>{"ChooseColor " + test::ColorText(before) + " fullopen solid"});
    // A repaint in the new colour, no new shape; the system's own repaint only for a
    // colour that changed.
    EXPECT_EQ(ws.Calls("FillRect").size(), 1U);
    EXPECT_EQ(ws.window.fill, c.chosen);
    EXPECT_EQ(ws.Calls("CreatePolygonRegion").size(), 0U);
    EXPECT_EQ(ws.Calls("Invalidate").size(), c.chosen == before ? 0U : 1U);
    CtrlStep();
    EXPECT_EQ(ws.window.fill, c.afterCtrlStep);
  }
}

TEST_F(ColorDialogTest, ADialogEndedByTheProgramsEndChangesNothing) {
  Start();
  // The program is asked to end while the dialog is open; the platform reports the
  // dialog as confirmed on its way out.
  ws.chooseColor = [&](TColor& color, std::array<TColor, 16>& slots) {
    ws.events->OnCloseRequest();
    color = clBlack;
    slots.fill(0x00123456);
    return true;
  };
  ws.events->FormMainOnKeyDown(kKeyF2, {});
  EXPECT_TRUE(ws.Calls("FillRect").empty());
  EXPECT_EQ(Saved().color, test::LoadedPointer{}.color);
  TCustomColors unchanged;
  unchanged.fill("1FFFFFFF");
  EXPECT_EQ(SavedCustomColors(), unchanged);
}

TEST_F(ColorDialogTest, ConfirmRewritesTheCustomColoursCancelKeepsEverything) {
  StartWith("[Pointer]\r\nColorIndex=4\r\n[Colors]\r\nColorC=ab\r\n");
  std::vector<std::array<TColor, 16>> offered;
  bool confirm = false;
  ws.chooseColor = [&](TColor& color, std::array<TColor, 16>& slots) {
    offered.push_back(slots);
    color = 0x00ABCDEF;
    slots[0] = 0x00ABCDEF;
    slots[1] = 0x12;
    slots[15] = kEmptySlot;
    return confirm;
  };
  OpenMenu(kColor);
  EXPECT_EQ(ws.Calls("FillRect").size(), 0U);
  EXPECT_EQ(ws.Calls("Invalidate").size(), 0U);
  ws.Tick(kTimerDrawBorderId);  // the start's repeat paint, in the colour of before
  EXPECT_EQ(ws.window.fill, ColorPalette[4]);
  CtrlStep();
  EXPECT_EQ(ws.window.fill, ColorPalette[5]);

  confirm = true;
  OpenMenu(kColor);
  ASSERT_EQ(offered.size(), 2U);
  for (const auto& slots : offered) {
    EXPECT_EQ(slots[0], 0x1FFFFFFFU);
    EXPECT_EQ(slots[1], 0x1FFFFFFFU);
    EXPECT_EQ(slots[2], 0xABU);
  }
  EXPECT_EQ(ws.window.fill, 0x00ABCDEFU);
  const test::LoadedPointer saved = Saved();
  EXPECT_EQ(saved.color, 0x00ABCDEFU);
  EXPECT_EQ(saved.colorIndex, -1);
  TCustomColors expected;
  expected.fill("1FFFFFFF");
  expected[0] = "ABCDEF";
  expected[1] = "000012";
  expected[2] = "0000AB";
  expected[15] = "FFFFFFFF";
  EXPECT_EQ(SavedCustomColors(), expected);
}

struct SlotCase {
  const char* value;  // the custom colour of slot B, as stored
  TColor offered;
};

TEST_F(ColorDialogTest, AMalformedCustomColourOpensItsSlotEmpty) {
  const SlotCase cases[] = {
      {"00FF00", 0x00FF00},     {"ff00", 0xFF00},          {"123", 0x123},
      {"1FFFFFFF", 0x1FFFFFFF}, {"12G4", kEmptySlot},      {"", kEmptySlot},
      {"xyz", kEmptySlot},      {"$FF", kEmptySlot},       {"0x12", kEmptySlot},
      {"-5", kEmptySlot},       {"123456789", kEmptySlot}, {"\x97", kEmptySlot},
  };
  for (const SlotCase& c : cases) {
    SCOPED_TRACE(c.value);
    Restart(std::string("[Colors]\r\nColorA=0000FF\r\nColorB=") + c.value +
            "\r\nColorC=FFFFFF\r\n");
    std::optional<std::array<TColor, 16>> offered;
    ws.chooseColor = [&](TColor&, std::array<TColor, 16>& slots) {
      offered = slots;
      return false;
    };
    OpenMenu(kColor);
    ASSERT_TRUE(offered.has_value()) << "the dialog opened";
    EXPECT_EQ((*offered)[0], 0x0000FFU);
    EXPECT_EQ((*offered)[1], c.offered);
    EXPECT_EQ((*offered)[2], 0xFFFFFFU);
    for (std::size_t slot = 3; slot < 16; ++slot) {
      EXPECT_EQ((*offered)[slot], 0x1FFFFFFFU) << slot;
    }
    EXPECT_EQ(ws.messageBoxes, std::vector<std::string>{});
    static_cast<void>(Saved());
    EXPECT_EQ(SavedCustomColors()[1], std::string(c.value).substr(0, 8))
        << "kept as it was until confirmed";
  }
}

struct CommandLineCase {
  std::vector<std::string> parameters;
  bool showsHelp;
};

TEST_F(MenuTest, HelpSwitchOnTheCommandLineShowsTheHelpOnceBeforeTheArrow) {
  const CommandLineCase cases[] = {
      {{"-?"}, true},     {{"/?"}, true},        {{"-?", "/?"}, true},  {{"/?", "/?", "-?"}, true},
      {{"abc/?"}, true},  {{"x-?y"}, true},      {{"foo", "/?"}, true}, {{"?"}, false},
      {{"/help"}, false}, {{"/h"}, false},       {{"-"}, false},        {{"/", "?"}, false},
      {{}, false},        {{"?/", "?-"}, false},
  };
  for (const CommandLineCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.parameters.size() << " parameters, first "
                                    << (c.parameters.empty() ? "" : c.parameters[0]));
    TearDown();
    sys.files.clear();
    ws.messageBoxes.clear();
    SetUp();
    sys.commandLine = c.parameters;
    bool arrowShown = true;
    ws.onMessageBox = [&](const std::string&) {
      arrowShown = !ws.Calls("ShowAppWindow").empty() || !ws.Calls("RunMessageLoop").empty();
    };
    Start(TUiLanguage::German);
    ws.onMessageBox = nullptr;
    if (c.showsHelp) {
      EXPECT_EQ(ws.messageBoxes,
                std::vector<std::string>{"Quiverdart|" +
                                         Windows1252ToUtf8(HelpText(TUiLanguage::German))});
      EXPECT_FALSE(arrowShown);
    } else {
      EXPECT_EQ(ws.messageBoxes, std::vector<std::string>{});
    }
  }
}

}  // namespace
}  // namespace qd
