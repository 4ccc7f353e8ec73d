// Shared by the named-sound tests: the sound layer's fixture (scratch assets, manual clock and
// output, a sound manager) with a sound table, short Ogg sounds of chosen lengths, a frame clock
// set by hand and the audio manager stepped as the frame driver would.
#pragma once

#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/window_manager.h"
#include "sound/sound_test_support.h"
#include "sound/sound_stream.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace fwtest
{

class AudioTest : public soundtest::SoundTest
{
protected:
    void TearDown() override
    {
        mAudio.reset();
        SoundTest::TearDown();
    }
    // The table and sounds audio/1.ogg ... of the given lengths in ms (8 kHz mono), then the
    // sound manager and the audio manager.
    void Start(const std::string& table, std::vector<uint32_t> lengths)
    {
        Folder("assets/audio");
        Write("assets/audio/snd.txt", table);
        for (size_t i = 0; i < lengths.size(); ++i)
            AddOgg("audio/" + std::to_string(i + 1) + ".ogg",
                   soundtest::Tone(1, 8000, lengths[i] * 8, 300.0 + 50.0 * double(i)), 1, 8000);
        ClearPathMap();
        InitFileSystem();
        StartManager();
        mAudio = std::make_unique<AudioManager>();
    }
    // One frame at time t: the frame clock, then the audio manager's update.
    void Frame(uint32_t t)
    {
        mClock.SetFrameTime(t);
        mAudio->Update();
    }
    void At(uint32_t t) { mClock.SetFrameTime(t); }
    // Frames every 10 ms from the current frame time to t.
    void RunTo(uint32_t t)
    {
        for (uint32_t now = mClock.GetFrameTime() + 10; now < t; now += 10)
            Frame(now);
        Frame(t);
    }
    SoundEntry& Entry(int32_t handle) { return *mAudio->GetEntry(handle); }
    // The last volume the stand-in's buffer of the record's instance was given.
    static int32_t LastAttenuation(const SoundPlayRecord& record)
    {
        uint32_t id = record.mInstance->GetStream()->GetBufferId();
        std::vector<std::string> calls = sys::audio::CallsOf(sys::audio::GetCallLog(), id);
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->rfind("SetVolume ", 0) == 0)
                return std::stoi(it->substr(10));
        return 1;
    }

    DeltaTime mClock;
    std::unique_ptr<AudioManager> mAudio;
};

// Counts its calls and may run an action inside the callback.
class CountingCallBack : public TSoundCallBack
{
public:
    void OnSoundEnd(const std::shared_ptr<TSoundInstance>&, const std::shared_ptr<TSound>&) override
    {
        ++mCalls;
        mWhen.push_back(DeltaTime::Now());
        if (mAction)
            mAction();
    }
    int mCalls = 0;
    std::vector<uint32_t> mWhen;
    std::function<void()> mAction;
};

} // namespace fwtest
