// Fennick's identity and its option record.
#pragma once

#include <Common.h>

// The compression levels, as the codec library takes them.
enum {
    kLevelFast = 1000,
    kLevelNormal = 2000,
    kLevelHigh = 3000,
    kLevelExtraHigh = 4000,
};

// The WAVE source is wave_file, the APE destination ape_file.
class TEncodeOption : public TOption {
public:
    TEncodeOption() = default;
    ~TEncodeOption() override = default;

    int32 compression_level = kLevelExtraHigh;
};
