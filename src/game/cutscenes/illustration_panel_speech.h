// IllustrationPanelSpeech: a speech bubble of a cut-scene cell: an image with a localized text that
// fades in, plays its voice, and fades out when the voice has ended, telling the cell once.
#pragma once

#include "framework/transforms/transform_target.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"
#include "sound/sound.h"

#include <cstdint>
#include <memory>

class TLuaTable;
class TSprite;
class TextObject;
struct Callback;

class IllustrationPanelSpeech
{
public:
    // Told by the sound layer when the voice has played to its end.
    class SoundComplete : public TSoundCallBack
    {
    public:
        explicit SoundComplete(IllustrationPanelSpeech* owner) : mOwner(owner) {}
        void OnSoundEnd(const std::shared_ptr<TSoundInstance>& instance,
                        const std::shared_ptr<TSound>& next) override;

    private:
        IllustrationPanelSpeech* mOwner;
    };

    // Writes the bubble's text keys into the cell's shared "speechinfo" table, which is also the
    // description of the bubble's text object.
    IllustrationPanelSpeech(TLuaTable& speechInfo, const TLuaTable& bubble);
    ~IllustrationPanelSpeech();
    IllustrationPanelSpeech(const IllustrationPanelSpeech&) = delete;
    IllustrationPanelSpeech& operator=(const IllustrationPanelSpeech&) = delete;

    // Fades in and plays the voice; the callback (not owned) is told with 0 when the bubble ends.
    // A silent bubble ends at once.
    void Start(Callback* callback);
    // Tells the pending callback, once, and fades out.
    void Stop();
    // So that cutting the bubble short tells nobody.
    void ClearDoneCallback() { mDoneCallback = nullptr; }

    int32_t GetSound() const { return mSound; }
    const TString& GetPostEvent() const { return mPostEvent; }
    const TDrawSpec& GetSpec() const { return mSpec; }
    TM_Transform2D& GetTransform() { return mTransform; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }
    const std::shared_ptr<TextObject>& GetTextObject() const { return mTextObject; }
    Callback* GetDoneCallback() const { return mDoneCallback; }
    int32_t GetTimeIntro() const { return mTimeIntro; }
    int32_t GetTimeOutro() const { return mTimeOutro; }
    float GetAlphaIntro() const { return mAlphaIntro; }
    float GetAlphaOutro() const { return mAlphaOutro; }

private:
    void FadeTo(float alpha, int32_t ms);

    int32_t mSound = 0;
    TString mPostEvent;
    TDrawSpec mSpec;
    // Over mSpec, so it follows it.
    TM_Transform2D mTransform;
    std::shared_ptr<TSprite> mSprite;
    std::shared_ptr<TextObject> mTextObject;
    SoundComplete mSoundComplete;
    int32_t mTimeIntro = 0;
    int32_t mTimeOutro = 0;
    float mAlphaIntro = 0;
    float mAlphaOutro = 0;
    Callback* mDoneCallback = nullptr;
};
