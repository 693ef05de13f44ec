// The modifier keys of an input message as Windows has them. A thread's own key state
// follows only the key messages that thread takes: while another program has the keyboard
// it stays as it was when the keyboard left (an Alt still down after Alt+Tab), so then the
// keyboard's state at this moment is the one to read.
#pragma once

#include "framework/types.h"

namespace qd {

struct ModifierReadings {
  TShiftState thread;  // Shift, Ctrl and Alt as this thread's key state has them
  TShiftState system;  // ... and as the keyboard has them now
};

// `carried`: the buttons, and Shift and Ctrl where the message carries them (a mouse
// message does, a key message does not); the other modifiers from the right reading.
TShiftState MessageShiftState(TShiftState carried, bool carriesShiftCtrl, bool threadHasKeyboard,
                              const ModifierReadings& keys);

}  // namespace qd
