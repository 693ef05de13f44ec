#include "framework/modifiers.h"

namespace qd {

TShiftState MessageShiftState(TShiftState carried, bool carriesShiftCtrl, bool threadHasKeyboard,
                              const ModifierReadings& keys) {
  const TShiftState wanted = carriesShiftCtrl ? TShiftState(ssAlt) : ssShift + ssCtrl + ssAlt;
  const TShiftState read = threadHasKeyboard ? keys.thread : keys.system;
  return carried + TShiftState::FromBits(read.Bits() & wanted.Bits());
}

}  // namespace qd
