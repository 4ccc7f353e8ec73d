// IllustrationPanelSpeech: the bubble built from its table and the cell's "speechinfo", its
// fades around the voice, the single done notice, and a teardown that leaves the sound layer
// nothing pointing back at it.
#include "game/cutscenes/illustration_panel_speech.h"

#include "framework/sound/audio_manager.h"
#include "framework/core/frame_services.h"
#include "framework/widgets/text_object.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "game/cutscenes/cutscene_keys.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <vector>

namespace
{
constexpr float kSmoothing = -0.5f;
constexpr const char* kOwner = "IllustrationPanelSpeech";
// The keys of the bubble's text table copied into "speechinfo"; "text" is a label.
const char* const kPlacementKeys[] = {"x", "y", "w", "h"};
} // namespace

void IllustrationPanelSpeech::SoundComplete::OnSoundEnd(const std::shared_ptr<TSoundInstance>&,
                                                        const std::shared_ptr<TSound>&)
{
    mOwner->Stop();
}

IllustrationPanelSpeech::IllustrationPanelSpeech(TLuaTable& speechInfo, const TLuaTable& bubble)
    : mTransform(&mSpec), mSprite(TSprite::Create(0)), mSoundComplete(this)
{
    const TString sound = bubble.GetString("sound", TString());
    AudioManager* audio = AudioManager::Instance();
    if (sound.Length() > 0 && audio != nullptr)
        mSound = audio->Play(sound, true);
    mPostEvent = bubble.GetString("postevent", TString());
    mTimeIntro = cutscene::ReadInt(speechInfo, "timeintro", 0, kOwner);
    mTimeOutro = cutscene::ReadInt(speechInfo, "timeoutro", 0, kOwner);
    mAlphaIntro = static_cast<float>(cutscene::ReadNumber(speechInfo, "alphaintro", 0, kOwner));
    mAlphaOutro = static_cast<float>(cutscene::ReadNumber(speechInfo, "alphaoutro", 0, kOwner));
    if (mSound == 0)
        ReportError(
            TString::Format("Cannot load sound '%s' for IllustrationPanelSpeech!", sound.c_str())
                .c_str(),
            __FILE__, __LINE__, false);

    std::unique_ptr<TLuaTable> text(bubble.GetTable("text"));
    if (text == nullptr)
    {
        ReportError("No text table for IllustrationPanelSpeech!", __FILE__, __LINE__, true);
        return;
    }
    // Every key is written, absent ones as empty strings, so nothing of an earlier bubble stays.
    speechInfo.SetString("text", cutscene::LocalizedText(text->GetString("text", TString())));
    for (const char* key : kPlacementKeys)
        speechInfo.SetString(key, text->GetString(key, TString()));
    mTextObject = TextObject::Create(speechInfo);

    mTransform.SetAlpha(0);
    mSprite->SetTexture(TTexture::Get(bubble.GetString("image", TString()), 0));
    TDrawSpec& placement = mSprite->GetSpec();
    placement.mMatrix.m[2][0] = static_cast<float>(cutscene::ReadNumber(bubble, "x", 0, kOwner));
    placement.mMatrix.m[2][1] = static_cast<float>(cutscene::ReadNumber(bubble, "y", 0, kOwner));
    placement.mOrigin =
        TVec2(static_cast<float>(cutscene::ReadNumber(bubble, "xcenter", 0, kOwner)),
              static_cast<float>(cutscene::ReadNumber(bubble, "ycenter", 0, kOwner)));
    placement.mFlags |= kDrawOrigin;
}

IllustrationPanelSpeech::~IllustrationPanelSpeech()
{
    AudioManager* audio = AudioManager::Instance();
    if (mSound != 0 && audio != nullptr)
    {
        // A voice still playing must not reach this bubble once it is gone: its playback goes
        // first, then the reference (others may hold the same sound).
        if (SoundEntry* entry = audio->GetEntry(mSound))
        {
            const std::vector<std::shared_ptr<SoundPlayRecord>> records = entry->mRecords;
            for (const auto& record : records)
                if (record->mCallback == &mSoundComplete)
                    audio->RemoveRecord(record.get());
        }
        audio->Stop(mSound, false);
    }
    mDoneCallback = nullptr;
    mTextObject.reset();
    mSprite.reset();
    if (TransformManager* manager = TransformManager::Instance())
        manager->RemoveTransforms(&mTransform);
}

void IllustrationPanelSpeech::FadeTo(float alpha, int32_t ms)
{
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
        return;
    auto* list = new TM_InstructionList;
    list->push_back(
        new TM_Alpha(static_cast<uint32_t>(std::max(ms, 0)), alpha, kFromCurrent, 0, kSmoothing));
    manager->AddTransform(&mTransform, list);
}

void IllustrationPanelSpeech::Start(Callback* callback)
{
    FadeTo(mAlphaIntro, mTimeIntro);
    mDoneCallback = callback;
    AudioManager* audio = AudioManager::Instance();
    // A voice that starts nothing would never end the bubble either.
    if (mSound == 0 || audio == nullptr ||
        !audio->PlayIndex(mSound, new SoundPlayRecord(false, &mSoundComplete, 0)))
        Stop();
}

void IllustrationPanelSpeech::Stop()
{
    if (Callback* done = mDoneCallback)
    {
        mDoneCallback = nullptr;
        done->Call(nullptr, 0);
    }
    FadeTo(mAlphaOutro, mTimeOutro);
}
