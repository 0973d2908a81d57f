// Dovrell's identity and its option record.
#pragma once

#include <Common.h>

// The APE source is ape_file, the WAVE destination wave_file.
class TDecodeOption : public TOption {
public:
    TDecodeOption() = default;
    ~TDecodeOption() override = default;
};
