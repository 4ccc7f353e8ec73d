// Filling sound buffers: silence after the end, looping, empty sources, seeking by time.
#include "platform/files/stream_spooler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{

// Bytes 1, 2, 3, ... (never 0, so silence is visible).
class TPatternSource : public TSoundDataSource
{
public:
    explicit TPatternSource(uint32_t length, int rate = 44100, int channels = 2)
        : mLength(length), mRate(rate), mChannels(channels)
    {
    }
    uint32_t Read(void* buffer, uint32_t position, uint32_t count) override
    {
        ++mReads;
        uint32_t available = position < mLength ? mLength - position : 0;
        uint32_t n = std::min(count, available);
        for (uint32_t i = 0; i < n; ++i)
            static_cast<uint8_t*>(buffer)[i] = static_cast<uint8_t>((position + i) % 255 + 1);
        return n;
    }
    int64_t GetLength() override { return mReportedLength >= 0 ? mReportedLength : mLength; }
    int GetRate() override { return mRate; }
    int GetChannels() override { return mChannels; }
    double GetDuration() override { return 2.5; }

    uint32_t mLength;
    int64_t mReportedLength = -1;
    int mRate;
    int mChannels;
    int mReads = 0;
};

} // namespace

TEST(StreamSpooler, WithoutASourceTheBufferIsSilentAndTheFillSucceeds)
{
    TStreamSpooler spooler;
    std::vector<uint8_t> buffer(16, 0xAA);
    uint32_t written = 99;
    EXPECT_TRUE(spooler.Fill(16, buffer.data(), written, false));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0));
    EXPECT_EQ(spooler.GetDuration(), 0.0f);
    spooler.SetPosition(1.0f);
    EXPECT_EQ(spooler.GetPosition(), 0u);
}

TEST(StreamSpooler, FillPastTheEndLeavesSilenceAndFails)
{
    auto source = std::make_shared<TPatternSource>(3000);
    TStreamSpooler spooler(source);
    std::vector<uint8_t> buffer(4096);
    uint32_t written = 0;
    ASSERT_TRUE(spooler.Fill(2000, buffer.data(), written, false));
    EXPECT_EQ(written, 2000u);
    EXPECT_FALSE(spooler.Fill(4096, buffer.data(), written, false));
    EXPECT_EQ(written, 1000u);
    EXPECT_EQ(buffer[0], 2000 % 255 + 1);
    EXPECT_NE(buffer[999], 0);
    EXPECT_TRUE(std::all_of(buffer.begin() + 1000, buffer.end(), [](uint8_t b) { return b == 0; }));
}

TEST(StreamSpooler, LoopingFillStartsTheSourceOver)
{
    auto source = std::make_shared<TPatternSource>(3000);
    TStreamSpooler spooler(source);
    std::vector<uint8_t> buffer(4096);
    uint32_t written = 0;
    spooler.Fill(2000, buffer.data(), written, false);
    EXPECT_TRUE(spooler.Fill(4096, buffer.data(), written, true));
    EXPECT_EQ(written, 4096u);
    EXPECT_EQ(buffer[1000], 1);
    EXPECT_EQ(buffer[1001], 2);
    // 1000 bytes to the end, 3000 from the start, then 96 more.
    EXPECT_EQ(spooler.GetPosition(), 96u);
}

TEST(StreamSpooler, ShortReadEndsTheDataWhenTheLengthIsUnknown)
{
    auto source = std::make_shared<TPatternSource>(100);
    source->mReportedLength = int64_t(1) << 40;
    TStreamSpooler spooler(source);
    std::vector<uint8_t> buffer(256);
    uint32_t written = 0;
    EXPECT_FALSE(spooler.Fill(256, buffer.data(), written, false));
    EXPECT_EQ(written, 100u);
    EXPECT_EQ(buffer[100], 0);
}

TEST(StreamSpooler, LoopingOverAnEmptySourceEndsInSilence)
{
    auto source = std::make_shared<TPatternSource>(0);
    TStreamSpooler spooler(source);
    std::vector<uint8_t> buffer(64, 0xAA);
    uint32_t written = 0;
    EXPECT_FALSE(spooler.Fill(64, buffer.data(), written, true));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(buffer, std::vector<uint8_t>(64, 0));

    // A source that says it has data but never delivers any from its start.
    auto liar = std::make_shared<TPatternSource>(0);
    liar->mReportedLength = -5;
    TStreamSpooler spooler2(liar);
    EXPECT_FALSE(spooler2.Fill(64, buffer.data(), written, true));
    EXPECT_LT(liar->mReads, 4);
}

TEST(StreamSpooler, SetPositionLandsOnAWholeFrame)
{
    auto source = std::make_shared<TPatternSource>(1000000, 44100, 2);
    TStreamSpooler spooler(source);
    spooler.SetPosition(1.0f);
    EXPECT_EQ(spooler.GetPosition(), 44100u * 4);
    spooler.SetPosition(0.5f);
    EXPECT_EQ(spooler.GetPosition(), 22050u * 4);
    // 0.3 s at 22050 Hz mono: 6615 frames of 2 bytes.
    auto mono = std::make_shared<TPatternSource>(1000000, 22050, 1);
    TStreamSpooler monoSpooler(mono);
    monoSpooler.SetPosition(0.3f);
    EXPECT_EQ(monoSpooler.GetPosition(), 6615u * 2);
    EXPECT_EQ(monoSpooler.GetPosition() % 2, 0u);
    spooler.SetPosition(-1.0f);
    EXPECT_EQ(spooler.GetPosition(), 0u);
    EXPECT_FLOAT_EQ(spooler.GetDuration(), 2.5f);
}
