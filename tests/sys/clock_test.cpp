// The tick counter: monotonic, sleeps roughly as long as asked, and the manual mode tests rely on.
#include "sys/clock.h"

#include <gtest/gtest.h>

TEST(Clock, RealClockAdvancesAcrossASleep)
{
    sys::SetManualClock(false);
    uint32_t before = sys::GetTimeMs();
    sys::SleepMs(15);
    uint32_t elapsed = sys::GetTimeMs() - before;
    EXPECT_GE(elapsed, 14u);
}

TEST(Clock, ManualClockAnswersItsValueAndSleepAdvancesIt)
{
    sys::SetManualClock(true, 0xFFFFFFF0u);
    EXPECT_EQ(sys::GetTimeMs(), 0xFFFFFFF0u);
    sys::SleepMs(0x20);
    // Wraps like the 32-bit tick counter; differences stay right.
    EXPECT_EQ(sys::GetTimeMs(), 0x10u);
    EXPECT_EQ(sys::GetTimeMs() - 0xFFFFFFF0u, 0x20u);
    sys::AdvanceManualClock(5);
    EXPECT_EQ(sys::GetTimeMs(), 0x15u);
    sys::SetManualClock(false);
    EXPECT_FALSE(sys::IsManualClock());
}
