// The decoder's side of prediction (private to the coder): the adaptive
// stages undone in reverse order, then the fixed predictor.
#pragma once

#include <cstdint>

#include "FrameLayout.h"

namespace monkeys::core {

// Turns the residuals xs back into the channels' signals, as h says.
void undo_prediction(const Header& h, int ch, int blocks, int32_t* const* xs);

} // namespace monkeys::core
