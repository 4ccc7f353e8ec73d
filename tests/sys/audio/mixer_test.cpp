// The mix as heard: gains, sums and clamping, loops and single plays, resampling, WAV dumps.
#include "audio_test_support.h"

#include "support/files.h"
#include "sys/audio/mixer.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

using namespace audio_test;

namespace
{
std::vector<int16_t> Constant(size_t count, int16_t value)
{
    return std::vector<int16_t>(count, value);
}

// Mono samples equal to their frame index (plus one, so frame 0 is not silence).
std::vector<int16_t> Ramp(uint32_t frames)
{
    std::vector<int16_t> samples(frames);
    for (uint32_t i = 0; i < frames; ++i)
        samples[i] = static_cast<int16_t>(i + 1);
    return samples;
}

int ZeroCrossings(const std::vector<int16_t>& stereo, size_t from)
{
    int count = 0;
    for (size_t i = from + 2; i < stereo.size(); i += 2)
        count += (stereo[i - 2] < 0) != (stereo[i] < 0);
    return count;
}
} // namespace

TEST(AudioMixer, GainsSumAndClamp)
{
    ManualDevice device;
    auto a = device.Buffer(44100, 2, Constant(4410 * 2, 1000));
    a->Play(0, 0, DSBPLAY_LOOPING);
    const struct
    {
        int32_t volume;
        int16_t expected;
    } cases[] = {{0, 1000}, {-600, 501}, {-2500, 56}, {-10000, 0}};
    for (const auto& c : cases)
    {
        a->SetVolume(c.volume);
        const auto out = Pull(64);
        EXPECT_EQ(out[0], c.expected) << c.volume;
        EXPECT_EQ(out[127], c.expected) << c.volume;
    }
    EXPECT_EQ(GainFromVolume(-600), 32846); // 10^(-0.3) in 16.16

    a->SetVolume(0);
    auto b = device.Buffer(22050, 1, Constant(4410, -300));
    b->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_EQ(Pull(8)[5], 700);

    // Past 16 bits the sum clamps instead of wrapping, both ways.
    auto c = device.Buffer(44100, 2, Constant(4410 * 2, 32500));
    c->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_EQ(Pull(8)[3], 32767);
    device.Write(*a, 0, Constant(4410 * 2, -32000));
    device.Write(*c, 0, Constant(4410 * 2, -32000));
    EXPECT_EQ(Pull(8)[3], -32768);
}

TEST(AudioMixer, LoopWrapsWithoutGapOrRepeat)
{
    ManualDevice device;
    auto buffer = device.Buffer(44100, 1, Ramp(1000));
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    const auto out = Pull(2500);
    for (uint32_t i = 0; i < 2500; ++i)
    {
        ASSERT_EQ(out[2 * i], int16_t(i % 1000 + 1)) << i;
        ASSERT_EQ(out[2 * i + 1], out[2 * i]) << i;
    }
    uint32_t status = 0;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
}

TEST(AudioMixer, OncePlaysExactlyItsBytesThenStopsAtZero)
{
    ManualDevice device;
    auto buffer = device.Buffer(44100, 1, Ramp(1000));
    buffer->Play(0, 0, 0);
    auto out = Pull(600);
    EXPECT_EQ(out[2 * 599], 600);

    // Stop keeps the position: Play resumes at the next sample.
    buffer->Stop();
    EXPECT_EQ(Pull(10)[0], 0);
    buffer->Play(0, 0, 0);
    out = Pull(500);
    EXPECT_EQ(out[0], 601);
    EXPECT_EQ(out[2 * 399], 1000);
    for (uint32_t i = 400; i < 500; ++i)
        ASSERT_EQ(out[2 * i], 0) << i;
    uint32_t status = 99;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(Cursors(*buffer), std::make_pair(0u, 0u));
}

TEST(AudioMixer, ResamplesToTheOutputRate)
{
    ManualDevice device;
    // A 22050 Hz mono sound lasts twice as many output frames, on both channels, and the frame
    // between two samples is their mean.
    std::vector<int16_t> samples(1000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(10 * i + 10);
    auto half = device.Buffer(22050, 1, samples);
    half->Play(0, 0, 0);
    const auto out = Pull(2100);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[2], 15);
    EXPECT_EQ(out[3], 15);
    EXPECT_EQ(out[4], 20);
    EXPECT_NE(out[2 * 1999], 0);
    EXPECT_EQ(out[2 * 2000], 0);

    // A 441 Hz sine keeps its pitch from any rate: 882 crossings per second of output.
    for (uint32_t rate : {11025u, 22050u, 48000u})
    {
        std::vector<int16_t> sine(rate); // one second, mono
        for (uint32_t i = 0; i < rate; ++i)
            sine[i] = static_cast<int16_t>(
                std::lround(10000 * std::sin(2 * M_PI * 441.0 * (i + 0.5) / rate)));
        auto buffer = device.Buffer(rate, 1, sine);
        buffer->Play(0, 0, DSBPLAY_LOOPING);
        half.reset();
        const auto mix = Pull(44100 * 2);
        buffer.reset();
        EXPECT_NEAR(ZeroCrossings(mix, 0), 2 * 882, 2) << rate;
    }
}

TEST(AudioMixer, DumpWritesWhatWasMixed)
{
    ManualDevice device;
    auto buffer = device.Buffer(44100, 2, Constant(200, 1234));
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    const testsupport::ScratchFolder scratch{"mw_mixer"};
    const std::string path = (scratch.Path() / "mixer_dump.wav").string();
    device->GetMixer()->StartDump(path);
    Pull(50);
    ASSERT_TRUE(device->GetMixer()->StopDump());
    EXPECT_FALSE(device->GetMixer()->StopDump());
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    ASSERT_EQ(bytes.size(), 44u + 200);
    const uint8_t header[44] = {'R', 'I', 'F',  'F',  236, 0,   0,    0,    'W', 'A', 'V',
                                'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1, 2,   0,   4,
                                0,   16,  0,    'd',  'a', 't', 'a',  200,  0,   0,   0};
    EXPECT_TRUE(std::equal(header, header + 44, bytes.begin()));
    EXPECT_EQ(bytes[44] | bytes[45] << 8, 1234);
    std::remove(path.c_str());
}
