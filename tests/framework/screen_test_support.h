// Shared by the standard-screen tests: the framework display fixture with the frame driver
// stepping windows, transforms and named sounds on the manual clock, the sound layer's manual
// output, Settings over the scratch user folder, and sounds served as memory files.
#pragma once

#include "render/image_writers.h"
#include "framework_display_support.h"
#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/screens/game_window.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_manager.h"
#include "framework/core/window_manager.h"
#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "script/script.h"
#include "sound/ogg_data_source.h"
#include "sound/ogg_encode.h"
#include "sound/sound_manager.h"
#include "sys/audio/direct_sound.h"
#include "sys/audio/test_hooks.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace screentest
{

// What the location says when it lets go of a wait nothing can end any more: its last resort,
// and a fault of the runner's wherever it is met.
constexpr const char* kLetGoLine = "which nothing can end any more";

class ScreenTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        ProbeColorShifts();
        sys::audio::ClearFaults();
        sys::audio::SetOutputKind(sys::audio::OutputKind::Manual);
        ClearSoundDataSourceBuilders();
        RegisterOggBuilder();
        auto sound = std::make_unique<TSoundManager>();
        sound->Init();
        mSound = sound.get();
        mImpl->mManagers.mSoundManager = std::move(sound);
        // Sounds of 200 ms each.
        File("audio/snd.txt", "4,logo,1,theme,2,click,3,boom,4");
        for (int i = 1; i <= 4; ++i)
            File("audio/" + std::to_string(i) + ".ogg",
                 soundtest::EncodeOgg(soundtest::Tone(1, 8000, 1600), 1, 8000));

        mManager->RegisterWindowType("GameWindow", &GameWindow::Create);
        auto* root = static_cast<TScreen*>(mManager->GetRoot());
        root->mAlwaysClear = true;
        root->mClearColor = TVec4(1, 1, 1, 1);

        SetConfig("encryptionkey", "Tk7pQ2mW9xLr");
        mAudio = std::make_unique<AudioManager>();
        mAudio->AddGroup(1000, -1, 1.0f);
        mAudio->AddGroup(1001, -1, 0.5f);
        mSettings = std::make_unique<Settings>();
        WindowManager::SetActiveSource([] { return true; });
        mFrames = std::make_unique<WindowManager>();
        mFrames->AddClient(&mTransforms, true);
        mFrames->AddClient(mAudio.get(), true);
    }
    void TearDown() override
    {
        ExpectLetGoes();
        // The screens go first: their destructors reach the audio and transform managers.
        mImpl->mManagers.mWindowManager.reset();
        mFrames.reset();
        mSettings.reset();
        mAudio.reset();
        WindowManager::SetActiveSource(nullptr);
        FrameworkDisplayTest::TearDown();
        ClearSoundDataSourceBuilders();
        sys::audio::ResetOutputKind();
    }

    void Run(const std::string& code) { mManager->GetScript()->DoLuaString(code.c_str()); }
    double Number(const char* name) { return mManager->GetScript()->GetGlobalNumber(name); }
    // One framework frame ms after the last, then the toolkit's deletions and messages.
    void Frame(uint32_t ms)
    {
        sys::AdvanceManualClock(ms);
        mFrames->Run();
        mManager->ProcessDeletions();
        mManager->DispatchMessages();
    }
    // `count` frames of `ms` each.
    void RunFrames(int count, uint32_t ms = 16)
    {
        for (int i = 0; i < count; ++i)
            Frame(ms);
    }
    // The player's record of the location ("gamedata") as the settings hold it.
    std::vector<uint8_t> Stored() const
    {
        const int size = mSettings->GetPlayerData("gamedata", nullptr, 0);
        std::vector<uint8_t> bytes(size > 0 ? static_cast<size_t>(size) : 0);
        if (size > 0)
            mSettings->GetPlayerData("gamedata", bytes.data(), size);
        return bytes;
    }
    TWindow* Find(const char* name)
    {
        TModalWindow* top = mManager->GetTopModal();
        return top != nullptr ? top->FindChild(name, 0xFFFFFFFFu) : nullptr;
    }
    int CountInLog(const std::string& text) { return rendertest::CountOf(Log(), text); }
    // Only the waits the test lets go of on purpose were let go.
    void ExpectLetGoes()
    {
        EXPECT_EQ(CountInLog(kLetGoLine), mLetGoes) << "a wait was let go:\n" << Log();
    }

    // The waits a test lets go of on purpose; any other is a fault.
    int mLetGoes = 0;
    TSoundManager* mSound = nullptr;
    std::unique_ptr<AudioManager> mAudio;
    std::unique_ptr<Settings> mSettings;
    std::unique_ptr<WindowManager> mFrames;
};

} // namespace screentest
