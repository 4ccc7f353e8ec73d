// Shared by the conversation tests: the real renderer on the headless display with the text
// rasteriser, images and short Ogg voices the tests encode into memory files, a sound table, a
// string table, a window script that counts quit requests, and frames stepped as the framework's
// frame driver steps them (the frame clock, then transforms, then sounds).
#pragma once

#include "framework/sound/audio_manager.h"
#include "framework/conversation/conversation_controller.h"
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "platform/strings/string_table.h"
#include "render/image_writers.h"
#include "render/render_test_support.h"
#include "render/sprite_test_support.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "sound/ogg_data_source.h"
#include "sound/ogg_encode.h"
#include "sound/sound_manager.h"
#include "sys/audio/direct_sound.h"
#include "sys/audio/test_hooks.h"

#include <functional>
#include <memory>
#include <string>

namespace convtest
{

// The standard cast: portraits of 60 x 100 whose left third is darker (mirroring shows), a
// 100 x 40 bubble with a dark left edge, a 100 x 80 scrim image.
inline std::string CharacterInfo(const std::string& extra = "")
{
    return "chars = { scrim = { maxalpha = 0.5, fadetime = 100 },"
           " conversation_info = { groupid = 0 }, characterspacing = 50, soundexit = 'exit',"
           " info = { image = 'conv/bubble', alphabubblefade = 1,"
           "   bounds = { x = 0, y = 0, w = 90, h = 30 }, flags = 5, timeslide = 100,"
           "   timebubblefade = 50, textx = 50, texty = 20 },"
           " ann = { name = 'ann', image = 'conv/ann', left = true, groupid = 1, xhome = 200,"
           "   xcenter = 30, y = 500, font = { '', 12, { 0, 0, 0.5, 1 } }, bubblex = 10,"
           "   bubbley = 20 },"
           " ben = { name = 'ben', image = 'conv/ben', groupid = 1, flip = true, xhome = 200,"
           "   xcenter = 20, y = 560, font = { '', 12, { 0.5, 0, 0, 1 } }, bubblex = 0,"
           "   bubbley = 0 },"
           " cat = { name = 'cat', image = 'conv/ann', left = true, groupid = 2, xhome = 100,"
           "   xcenter = 30, y = 450, font = { '', 12, { 0, 0, 0, 1 } } },"
           " dan = { name = 'dan', image = 'conv/ben', left = true, groupid = 3, xhome = 300,"
           "   xcenter = 30, y = 450, font = { '', 12, { 0, 0, 0, 1 } } }," +
           extra + " }";
}

class ConversationTest : public rendertest::DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
        mSeam->CreateVectorRasteriser();

        sys::audio::ClearFaults();
        sys::audio::SetOutputKind(sys::audio::OutputKind::Manual);
        ClearSoundDataSourceBuilders();
        RegisterOggBuilder();
        auto sound = std::make_unique<TSoundManager>();
        sound->Init();
        mImpl->mManagers.mSoundManager = std::move(sound);
        if (!mImpl->mManagers.mStringTable)
            mImpl->mManagers.mStringTable = std::make_unique<TStringTable>();
        const std::string strings =
            "<Row><Cell><Data>hi</Data></Cell><Cell><Data>Hello there</Data></Cell></Row>"
            "<Row><Cell><Data>yo</Data></Cell><Cell><Data>Yo</Data></Cell></Row>";
        mImpl->mManagers.mStringTable->LoadBuffer(strings.data(),
                                                  static_cast<uint32_t>(strings.size()));

        // Voices: hello 300 ms, bye 200 ms, exit 100 ms; "ghost" has no file.
        mFiles.Add("audio/snd.txt", "4,hello,1,bye,2,exit,3,ghost,4");
        const uint32_t lengths[] = {300, 200, 100};
        for (int i = 0; i < 3; ++i)
            mFiles.Add("audio/" + std::to_string(i + 1) + ".ogg",
                       soundtest::EncodeOgg(soundtest::Tone(1, 8000, lengths[i] * 8), 1, 8000));
        auto portrait = [](uint16_t r, uint16_t g, uint16_t b)
        {
            return [=](uint32_t x, uint32_t y) -> std::array<uint16_t, 4>
            {
                const uint16_t dim = x < 20 ? 2 : 1;
                return {static_cast<uint16_t>(r / dim), static_cast<uint16_t>(g / dim),
                        static_cast<uint16_t>(b / dim + y), 255};
            };
        };
        mFiles.Add("conv/ann.png", imagetest::PaintedPng(60, 100, portrait(240, 160, 40)));
        mFiles.Add("conv/ben.png", imagetest::PaintedPng(60, 100, portrait(40, 200, 120)));
        mFiles.Add("conv/bubble.png",
                   imagetest::PaintedPng(100, 40,
                                         [](uint32_t x, uint32_t) -> std::array<uint16_t, 4>
                                         {
                                             if (x < 6)
                                                 return {60, 60, 60, 255};
                                             return {250, 250, 235, 230};
                                         }));
        mFiles.Add(
            "conv/scrim.png",
            imagetest::PaintedPng(
                100, 80,
                [](uint32_t x, uint32_t y) -> std::array<uint16_t, 4> {
                    return {static_cast<uint16_t>(x * 2), 0, static_cast<uint16_t>(y * 3), 200};
                }));

        sScript = &mScript;
        SetWindowScriptSource([] { return sScript; });
        mScript.DoLuaString(
            "kQuitNow = 12 quits = 0 "
            "function CreateNamedMessage(t, n) return n end "
            "function PostMessage(m) if m == 'quit' then quits = quits + 1 end end");
        mClock.SetFrameTime(1000);
        mTransforms = std::make_unique<TransformManager>();
        mAudio = std::make_unique<AudioManager>();
    }

    void TearDown() override
    {
        mController.reset();
        mAudio.reset();
        mTransforms.reset();
        SetWindowScriptSource(nullptr);
        sScript = nullptr;
        mSeam->DestroyVectorRasteriser();
        DisplayTest::TearDown();
        ClearSoundDataSourceBuilders();
        sys::audio::ResetOutputKind();
    }

    // Builds the controller from two Lua texts that define `conv` and `chars`.
    ConversationController& Make(const std::string& conversations,
                                 const std::string& characters = CharacterInfo())
    {
        mScript.DoLuaString(("conv = " + conversations).c_str());
        mScript.DoLuaString(characters.c_str());
        std::unique_ptr<TLuaTable> conv(mScript.GetGlobalTable("conv"));
        std::unique_ptr<TLuaTable> chars(mScript.GetGlobalTable("chars"));
        mController = std::make_unique<ConversationController>(*conv, *chars);
        return *mController;
    }

    // One frame at time t, as the frame driver runs it.
    void Frame(uint32_t t)
    {
        mClock.SetFrameTime(t);
        mTransforms->Update();
        mAudio->Update();
    }
    // Frames every 10 ms up to t.
    void RunTo(uint32_t t)
    {
        for (uint32_t now = mClock.GetFrameTime() + 10; now < t; now += 10)
            Frame(now);
        Frame(t);
    }
    uint32_t Now() const { return mClock.GetFrameTime(); }
    int Quits() { return static_cast<int>(mScript.GetGlobalNumber("quits")); }
    int CountInLog(const std::string& text) { return rendertest::CountOf(Log(), text); }
    ConversationCharacter& C(const char* name) { return *mController->FindCharacter(name); }
    int32_t Handle(const char* sound) { return mAudio->FindNumber(sound); }
    // Playbacks of a sound now.
    size_t Playing(const char* sound)
    {
        SoundEntry* entry = mAudio->GetEntry(Handle(sound));
        return entry != nullptr ? entry->GetRecordCount() : 0;
    }
    std::vector<std::string> Names(const std::vector<ConversationCharacter*>& side)
    {
        std::vector<std::string> names;
        for (auto* c : side)
            names.emplace_back(c->mName.c_str());
        return names;
    }

    // Counts its calls.
    struct Counter
    {
        int mCalls = 0;
        std::function<void()> mAction;
        Callback mCallback{this, [](void* self, TM_Transform*, uint32_t)
                           {
                               auto* counter = static_cast<Counter*>(self);
                               ++counter->mCalls;
                               if (counter->mAction)
                                   counter->mAction();
                           }};
    };

    static inline TScript* sScript = nullptr;
    spritetest::MemoryFiles mFiles;
    TScript mScript;
    DeltaTime mClock;
    std::unique_ptr<TransformManager> mTransforms;
    std::unique_ptr<AudioManager> mAudio;
    std::unique_ptr<ConversationController> mController;
    Counter mAllGone;
    Counter mEnded;
};

} // namespace convtest
