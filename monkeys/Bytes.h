// Little-endian numbers in byte arrays, under the codec library's names.
#pragma once

#include <LittleEndian.h>

namespace monkeys {
using namespace little_endian;
} // namespace monkeys
