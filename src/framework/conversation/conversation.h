// Conversation, one line of a location's scripted talk read from its table, and
// ConversationCharacter, one portrait with its speech bubble, text box, voice and the slides and
// fades that bring it on and off the 800 x 600 screen.
#pragma once

#include "framework/transforms/transform_target.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"
#include "sound/sound.h"

#include <cstdint>
#include <memory>
#include <vector>

class TLuaTable;
class TSprite;
class TTextSprite;
struct Callback;

class Conversation
{
public:
    // `conversationInfo` gives the volume group every voice is played in.
    Conversation(const TLuaTable& entry, const TLuaTable& conversationInfo);

    TString mName;
    TString mSpeaker;
    TString mText;
    TString mSound;
    TString mNext;
    std::vector<TString> mCharactersToShow;
    std::vector<TString> mCharactersToHide;
};

class ConversationCharacter
{
public:
    // Told by the sound layer when the character's voice has played to its end.
    class SoundCallBack : public TSoundCallBack
    {
    public:
        explicit SoundCallBack(ConversationCharacter* owner) : mOwner(owner) {}
        void OnSoundEnd(const std::shared_ptr<TSoundInstance>& instance,
                        const std::shared_ptr<TSound>& next) override;

        ConversationCharacter* mOwner;
    };

    ConversationCharacter(const TLuaTable& characterTable, const TLuaTable& info);
    ~ConversationCharacter();
    ConversationCharacter(const ConversationCharacter&) = delete;
    ConversationCharacter& operator=(const ConversationCharacter&) = delete;

    TString GetName() const { return mName; }

    // Moves the portrait to x on its own line over the slide time; `then` is told when it gets
    // there (or stays untold when another slide replaces this one).
    void SlideTo(float x, Callback* then);
    void SlideOut(Callback* then);
    void PlaceOffscreen();
    // Fades the bubble in with the line's text fitted to the box; the voice follows the fade.
    void Speak(const TString& text, const TString& sound, Callback* then);
    void StartVoice();
    // Fades the bubble out and tells the line's callback.
    void FinishLine();
    void StopVoice();
    void FirePendingCallback(TM_Transform* target);
    // Cuts a playing voice short (its end is then never told).
    void CutVoice();
    void Pause();
    void Resume();
    void Draw(const TDrawSpec& spec);

    // Lays the text out at `size` and, while it does not fit its box and the size is above 4,
    // again one size smaller. Answers the size reached.
    static int32_t FitText(TTextSprite& text, int32_t size);

    // The portrait's width, 0 without an image.
    float GetPortraitWidth() const;

    bool mLeft = false;
    bool mFlip = false;
    bool mSpeaking = false;
    bool mComplete = true;
    int32_t mGroup = 0;
    int32_t mFontSize = 0;
    int32_t mTextFlags = 0;
    int32_t mVoice = 0;
    TString mName;
    std::shared_ptr<TSprite> mBubble;
    TDrawSpec mBubbleSpec;
    TM_Transform2D mBubbleTransform;
    std::shared_ptr<TSprite> mPortrait;
    TM_Transform2D mPortraitTransform;
    std::shared_ptr<TTextSprite> mTextSprite;
    SoundCallBack mSoundCallBack;
    Callback* mPending = nullptr;
    int32_t mTimeSlide = 0;
    int32_t mTimeBubbleFade = 0;
    float mXHome = 0;

private:
    // Gives the voice's reference back, first taking away a playback that would still call
    // this character back.
    void ReleaseVoice();
};
