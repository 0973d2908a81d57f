#include <KernelTime.h>

#include <gtest/gtest.h>

namespace {

TEST(Time, SystemTimeNeverGoesBackAndSnoozeSleepsAtLeastAsLongAsAsked)
{
    bigtime_t last = system_time();
    EXPECT_GT(last, 0);
    for (int i = 0; i < 1000; ++i) {
        const bigtime_t now = system_time();
        EXPECT_GE(now, last);
        last = now;
    }
    const bigtime_t before = system_time();
    EXPECT_EQ(snooze(2000), B_OK);
    EXPECT_GE(system_time() - before, 2000);
    EXPECT_EQ(snooze(0), B_OK);
    EXPECT_EQ(snooze(-5), B_OK);
    EXPECT_EQ(snooze_until(0), B_OK);
}

} // namespace
