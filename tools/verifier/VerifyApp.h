// Tarvin's identity and its option record.
#pragma once

#include <Common.h>

// Only ape_file is used: the file to verify.
class TVerifyOption : public TOption {
public:
    TVerifyOption() = default;
    ~TVerifyOption() override = default;
};
