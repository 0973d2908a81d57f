// Helpers of the in-process framework tests.
#pragma once

#include <AppPrivacy.h>
#include <UsingLibMonkeysAudio.h>

#include <gtest/gtest.h>

#include <string>

// What a function prints on standard output.
template <typename Fn>
std::string captured(Fn&& fn)
{
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout();
}

// Leaves no library loaded behind a test.
struct UnloadAfter {
    ~UnloadAfter() { unload_lib_monkeys_audio(&gAppPrivacy.lib_image); }
};
