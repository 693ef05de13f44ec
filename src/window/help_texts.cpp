// The help texts, Windows-1252, lines separated by single CR characters.
#include "window/help_texts.h"

#include <string>

namespace qd {

namespace {

// Title, two blanks, version, five blanks, author line ending in a blank.
const std::string kTitleLine = "Quiverdart  Version 1.0     Quiverdart developers ";

// One paragraph per line: reflowed, the two tables would be hard to read side by side.
// clang-format off
const std::string kHelpEnglish =
    kTitleLine + "\r\r\r"
    "The Quiverdart program displays a topmost uniformly colored arrow to be used as pointer to any location of interest on the computer screen. It can be used for any kind of presentation where the screen contents is projected before an audience by means of a beamer. " "\r\r"
    "The pointer can be dragged across the entire screen by grabbing it with the left mouse button. " "\r\r"
    "The pointer orientation can be changed in 15 degree increments by rotating the mouse wheel or by pressing the cursor keys up/down or left/right. " "\r\r"
    "The pointer size can be increased/decreased within reasonable limits by rotating the mouse wheel or by pressing the cursor keys up/down or left/right in combination with with the SHIFT key. " "\r\r"
    "Rotating the mouse wheel or pressing the cursor keys up/down or left/right in combination with with the CTRL key allows for a quick switching of the pointer color picked from a set of twelve predefined colors. " "\r\r"
    "The pointer color can also be chosen from a color selection dialog box (to be invoked from the context pop-up menu or by pressing the F2 function key). The standard pointer colors black and white can be toggled quickly by means of the space bar. Double-clicking the pointer will set its color to the desktop pixel color at the current mouse cursor position. " "\r\r"
    "The opaqueness of the pointer can be adjusted between entirely opaque and fully transparent. Setting of the opaqueness is done by rotating the mouse wheel or by pressing the cursor keys up/down or left/right in combination with with the ALT key. " "\r\r"
    "A middle mouse button click will smoothly fade in or fade out the pointer. In case the faded out and therefore entirely transparent pointer cannot be located any more, it can be made visible again simply by increasing its opaqueness or by minimizing and then restoring the pointer window even if the Lock Settings option (see below) has been activated." "\r\r"
    "Accidentally changing the basic settings size, color and transpareny can be prevented by activating the Lock Settings option (from the context pop-up menu or by pressing the F3 function key). " "\r\r"
    "A right mouse button click will open the context pop-up menu with the menu items Help (F1), Color Selection (F2), Lock/Unlock Settings (F3), Actvate/Deactivate Program Termination by pressing the ESC key and Exit Program (ESC/ALT+F4). " "\r\r"
    "Starting the program with the command line switches  /?  or  \x97" "?  will invoke this help function. "
;

const std::string kHelpGerman =
    kTitleLine + "\r\r\r"
    "Das Programm Quiverdart erscheint als ein zuoberst auf dem Desktop liegender Pfeil, der auf jeden gew\xFC" "nschten Punkt auf der Bildschirmfl\xE4" "che zeigen kann. Es eignet sich damit f\xFC" "r jegliche Art von Pr\xE4" "sentation, bei der der Bildschirminhalt \xFC" "ber einen Beamer vor einem Auditorium projiziert wird. " "\r\r"
    "Dieser Zeiger kann auf die \xFC" "bliche Art mit der Maus gegriffen und \xFC" "ber den gesamten Bildschirm verschoben werden. " "\r\r"
    "Die Richtung des Zeigers kann in 15\xB0" "-Schritten ver\xE4" "ndert werden durch ein Drehen des Mausrads bzw. durch Bet\xE4" "tigen der Cursor-Tasten auf/ab oder links/rechts. " "\r\r"
    "Die Gr\xF6" "\xDF" "e des Zeigers kann innerhalb sinnvoller Grenzen ver\xE4" "ndert werden durch ein Drehen des Mausrads bzw. durch Bet\xE4" "tigen der Cursor-Tasten auf/ab oder links/rechts bei gleichzeitig gedr\xFC" "ckter Umschalt-Taste. " "\r\r"
    "Das Drehen des Mausrads bzw. das Bet\xE4" "tigen der Cursor-Tasten auf/ab oder links/rechts bei gleichzeitig gedr\xFC" "ckter Strg-Taste bewirkt ein schnelles Ausw\xE4" "hlen der Zeiger-Farbe aus einer Palette mit zw\xF6" "lf vordefinierten Farben. " "\r\r"
    "Die Farbe des Zeigers kann mit Hilfe eines Farbauswahl-Dialogs auch auf beliebige Werte eingestellt werden (Aufruf aus dem Kontext-pop-up-Men\xFC" " bzw. mit der Funktionstaste F2). Eine schnelle Umschaltung zwischen den beiden Standardfarben Schwarz und Wei\xDF" " erfolgt mit der Leertaste. Ein Doppelklick auf den Zeiger weist diesem die Farbe des darunter liegenden Desktop-Objekts an der Doppelklick-Position zu. " "\r\r"
    "Der Transparenzgrad des Zeigers ist einstellbar zwischen opak und v\xF6" "llig transparent. Die Einstellung der Transparenz erfolgt per Mausrad oder mit den Tasten Cursor auf/ab oder links/rechts bei gleichzeitig niedergedr\xFC" "ckter Alt-Taste. " "\r\r"
    "Ein Klick mit der mittleren Maustaste bewirkt ein sanftes Ein- und Ausblenden des Zeigers. Sollte ein ausgeblendeter und somit v\xF6" "llig transparenter Zeiger nicht mehr auffindbar sein, dann kann er wieder sichtbar gemacht werden, und zwar am einfachsten durch das Reduzieren der Transparenz oder auch bei aktivierter Sperre der Grundeinstellungen (s.u.) durch Minimieren und anschlie\xDF" "endes Wiederherstellen des Zeiger-Fensters. " "\r\r"
    "Zur Vorbeugung gegen ein versehentliches Ver\xE4" "ndern der Grundeinstellungen Gr\xF6" "\xDF" "e, Farbe und Transparenz des Zeigers kann die Option Grundeinstellungen sperren aktiviert werden (\xFC" "ber das Kontext-pop-up-Men\xFC" " bzw. mit der Funktionstaste F3). " "\r\r"
    "Ein Kontext-pop-up-Men\xFC" " (Aufruf per Rechtsklick) gestattet das \xD6" "ffnen der Hilfe (F1), die Farbeinstellung (F2), das Sperren/Entsperren der Grundeinstellungen (F3), das Aktivieren/Deaktivieren des Tastenk\xFC" "rzels ESC zum Beenden dieses Programms und das Beenden des Programms (ESC/ALT+F4). " "\r\r"
    "Ein Programmaufruf mit den Kommandozeilen-Schaltern  /?  oder  \x97" "?  \xF6" "ffnet diese Hilfe-Funktion. "
;
// clang-format on

}  // namespace

const std::string& HelpText(TUiLanguage language) {
  return language == TUiLanguage::German ? kHelpGerman : kHelpEnglish;
}

}  // namespace qd
