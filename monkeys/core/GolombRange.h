// Entropy coding of residuals with an adaptive Golomb code through the
// range coder.
#pragma once

#include <cstdint>

#include "BitIO.h"
#include "RangeCoder.h"
#include "Residual.h"

namespace monkeys::core {

// Adaptive Golomb code whose quotient and first remainder bit go through
// the range coder with contexts; the other remainder bits go raw to bw.
void range_encode(RangeEncoder& rc, BitWriter& bw, const int32_t* x, int n);
// False when an escape is malformed.
bool range_decode(RangeDecoder& rc, BitReader& br, int32_t* x, int n);

} // namespace monkeys::core
