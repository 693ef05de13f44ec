#include "model/pointer_state.h"

namespace qd {

PointerState Pointer;

}  // namespace qd
