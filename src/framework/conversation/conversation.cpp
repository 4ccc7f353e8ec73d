// Conversation lines read from their tables; conversation characters: building one from its
// table, its slides, the bubble's fades around the voice, the text fitted to its box, drawing.
#include "framework/conversation/conversation.h"

#include "framework/sound/audio_manager.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/sprites/sprite.h"
#include "render/text/text_layout.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float kScreenWidth = 800.0f;
// The logistic curve every slide and fade of a conversation follows.
constexpr float kSmoothing = -0.5f;
constexpr int32_t kSmallestFontSize = 4;

// The values of a list table, each as its script text, in iteration order.
std::vector<TString> ReadNames(const TLuaTable& table, const char* key)
{
    std::vector<TString> names;
    std::unique_ptr<TLuaTable> list(table.GetTable(key));
    if (list == nullptr)
        return names;
    TLuaObjectWrapper* cursor = nullptr;
    while (TLuaTable* value = list->Next(&cursor))
    {
        names.push_back(value->ToString());
        delete value;
    }
    return names;
}

// A time read from data: a negative one would run for weeks as an unsigned duration.
uint32_t Duration(int32_t ms)
{
    return static_cast<uint32_t>(std::max(ms, 0));
}

void AddTransform(TM_Transform* target, TM_Instruction* instruction, Callback* groupCallback)
{
    TransformManager* manager = TransformManager::Instance();
    auto* list = new TM_InstructionList;
    list->push_back(instruction);
    if (manager == nullptr)
    {
        delete list;
        delete groupCallback;
        return;
    }
    manager->RemoveTransforms(target);
    manager->AddTransform(target, list, groupCallback);
}

void RemoveTransforms(TM_Transform* target)
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->RemoveTransforms(target);
}

void StartVoiceThunk(void* object, TM_Transform*, uint32_t)
{
    static_cast<ConversationCharacter*>(object)->StartVoice();
}

void StopVoiceThunk(void* object, TM_Transform*, uint32_t)
{
    static_cast<ConversationCharacter*>(object)->StopVoice();
}

void FirePendingThunk(void* object, TM_Transform* target, uint32_t)
{
    static_cast<ConversationCharacter*>(object)->FirePendingCallback(target);
}

std::shared_ptr<TTexture> LoadTexture(const TString& name)
{
    return name.Length() > 0 ? TTexture::Get(name, 0) : nullptr;
}
} // namespace

// ---- Conversation ----

Conversation::Conversation(const TLuaTable& entry, const TLuaTable& conversationInfo)
    : mName(entry.GetString("name")), mSpeaker(entry.GetString("charactertospeak")),
      mText(entry.GetString("text")), mSound(entry.GetString("sound")),
      mNext(entry.GetString("nextconversation")),
      mCharactersToShow(ReadNames(entry, "characterstoshow")),
      mCharactersToHide(ReadNames(entry, "characterstohide"))
{
    const int32_t group = ScriptNumberToInt(conversationInfo.GetNumber("groupid", 0));
    // The sound layer takes the name as the text before the last "?", so a specifier with a
    // query of its own gets the group as one more parameter; its own "group=" comes first and
    // wins. A line without a voice stays without one.
    if (group != 0 && mSound.Length() > 0)
        mSound = mSound + (mSound.FindChar('?') >= 0 ? "&group=" : "?group=") +
                 TString::Format("%d", group);
}

// ---- ConversationCharacter ----

void ConversationCharacter::SoundCallBack::OnSoundEnd(const std::shared_ptr<TSoundInstance>&,
                                                      const std::shared_ptr<TSound>&)
{
    mOwner->FinishLine();
}

ConversationCharacter::ConversationCharacter(const TLuaTable& characterTable, const TLuaTable& info)
    : mLeft(characterTable.GetBool("left")), mFlip(characterTable.GetBool("flip")),
      mGroup(ScriptNumberToInt(characterTable.GetNumber("groupid"))),
      mTextFlags(ScriptNumberToInt(info.GetNumber("flags"))),
      mName(characterTable.GetString("name")), mBubble(TSprite::Create(0)),
      mBubbleSpec(TVec2(), 0.0f), mBubbleTransform(&mBubbleSpec), mPortrait(TSprite::Create(0)),
      mPortraitTransform(&mPortrait->GetSpec()), mSoundCallBack(this),
      mTimeSlide(ScriptNumberToInt(info.GetNumber("timeslide"))),
      mTimeBubbleFade(ScriptNumberToInt(info.GetNumber("timebubblefade"))),
      mXHome(static_cast<float>(characterTable.GetNumber("xhome")))
{
    std::unique_ptr<TLuaTable> font(characterTable.GetTable("font"));
    std::unique_ptr<TLuaTable> bounds(info.GetTable("bounds"));
    if (font == nullptr || bounds == nullptr)
        mComplete = false;
    int32_t boxWidth = 0;
    int32_t boxHeight = 0;
    if (bounds != nullptr)
    {
        boxWidth = ScriptNumberToInt(bounds->GetNumber("w"));
        boxHeight = ScriptNumberToInt(bounds->GetNumber("h"));
    }
    std::shared_ptr<TTexture> portrait = LoadTexture(characterTable.GetString("image"));
    std::shared_ptr<TTexture> bubble = LoadTexture(info.GetString("image"));
    mPortrait->SetTexture(portrait);
    mBubble->SetTexture(bubble);
    if (portrait == nullptr || bubble == nullptr)
        mComplete = false;
    if (!mComplete)
        return;

    mFontSize = ScriptNumberToInt(font->GetNumberAt(2));
    mPortraitTransform.SetY(static_cast<float>(characterTable.GetNumber("y")));

    const auto portraitWidth = static_cast<float>(portrait->GetWidth());
    const auto portraitHeight = static_cast<float>(portrait->GetHeight());
    const auto bubbleWidth = static_cast<float>(bubble->GetWidth());
    const auto bubbleHeight = static_cast<float>(bubble->GetHeight());
    const auto xCenter = static_cast<float>(characterTable.GetNumber("xcenter"));

    TDrawSpec& portraitSpec = mPortrait->GetSpec();
    portraitSpec.mOrigin = TVec2(xCenter, portraitHeight);
    portraitSpec.mFlags |= kDrawOrigin;
    TDrawSpec& bubbleOwn = mBubble->GetSpec();
    bubbleOwn.mOrigin = TVec2(bubbleWidth * 0.5f, bubbleHeight * 0.5f);
    bubbleOwn.mAlpha = static_cast<float>(info.GetNumber("alphabubblefade"));

    mBubbleTransform.SetX(static_cast<float>(characterTable.GetNumber("bubblex")) - xCenter +
                          bubbleWidth * 0.5f);
    mBubbleTransform.SetY(static_cast<float>(characterTable.GetNumber("bubbley")) - portraitHeight -
                          bubbleHeight * 0.5f);
    mBubbleTransform.SetAlpha(0);

    mTextSprite = TTextSprite::Create(boxWidth, boxHeight, static_cast<uint32_t>(mTextFlags),
                                      font->GetStringAt(1), mFontSize,
                                      font->GetVec4At(3, TVec4(0, 0, 0, 0)), 0);
    TDrawSpec& textSpec = mTextSprite->GetSpec();
    textSpec.mOrigin =
        TVec2(static_cast<float>(boxWidth) * 0.5f, static_cast<float>(boxHeight) * 0.5f);
    textSpec.mFlags |= kDrawOrigin;
    textSpec.mMatrix.m[2][0] = -(bubbleWidth * 0.5f);
    textSpec.mMatrix.m[2][1] = static_cast<float>(info.GetNumber("texty")) - bubbleHeight * 0.5f;

    const auto textX = static_cast<float>(info.GetNumber("textx"));
    if (mLeft)
    {
        textSpec.mMatrix.m[2][0] += textX;
        mPortraitTransform.SetX(-portraitWidth);
    }
    else
    {
        bubbleOwn.mFlags |= kDrawMirrorX;
        bubbleOwn.mMatrix.m[2][0] -= bubbleWidth;
        textSpec.mMatrix.m[2][0] -= textX;
        mPortraitTransform.SetX(kScreenWidth + portraitWidth);
    }
}

ConversationCharacter::~ConversationCharacter()
{
    ReleaseVoice();
    mTextSprite.reset();
    RemoveTransforms(&mPortraitTransform);
    RemoveTransforms(&mBubbleTransform);
}

float ConversationCharacter::GetPortraitWidth() const
{
    std::shared_ptr<TTexture> texture = mPortrait->GetTexture();
    return texture != nullptr ? static_cast<float>(texture->GetWidth()) : 0.0f;
}

void ConversationCharacter::ReleaseVoice()
{
    if (mVoice == 0)
        return;
    if (AudioManager* audio = AudioManager::Instance())
    {
        // Others may hold the same sound, so the entry (and this playback) could outlive the
        // reference given back here.
        if (SoundEntry* entry = audio->GetEntry(mVoice))
        {
            std::vector<std::shared_ptr<SoundPlayRecord>> records = entry->mRecords;
            for (const auto& record : records)
                if (record->mCallback == &mSoundCallBack)
                    audio->RemoveRecord(record.get());
        }
        audio->Stop(mVoice, false);
    }
    mVoice = 0;
}

void ConversationCharacter::SlideTo(float x, Callback* then)
{
    mPending = then;
    AddTransform(&mPortraitTransform,
                 new TM_Move(Duration(mTimeSlide), true, TVec2(x, mPortraitTransform.GetY()),
                             kFromCurrent2, 0, kSmoothing),
                 new Callback(this, &FirePendingThunk));
}

void ConversationCharacter::SlideOut(Callback* then)
{
    const float width = mComplete ? GetPortraitWidth() : 0.0f;
    SlideTo(mLeft ? -width : kScreenWidth + width, then);
}

void ConversationCharacter::PlaceOffscreen()
{
    if (!mComplete)
        return;
    const float width = GetPortraitWidth();
    mPortraitTransform.SetX(mLeft ? -width : kScreenWidth + width);
}

void ConversationCharacter::FirePendingCallback(TM_Transform* target)
{
    Callback* pending = mPending;
    mPending = nullptr;
    if (pending != nullptr)
        pending->Call(target, 0);
}

int32_t ConversationCharacter::FitText(TTextSprite& text, int32_t size)
{
    text.SetFontSize(size);
    const TDrawSpec plain;
    while (text.CountFittingLines(plain) != 0 && size > kSmallestFontSize)
        text.SetFontSize(--size);
    return size;
}

void ConversationCharacter::Speak(const TString& text, const TString& sound, Callback* then)
{
    AddTransform(&mBubbleTransform, new TM_Alpha(Duration(mTimeBubbleFade), 1, 0, 0, kSmoothing),
                 new Callback(this, &StartVoiceThunk));
    // The previous line's voice is still held when this line began before its bubble faded out.
    ReleaseVoice();
    AudioManager* audio = AudioManager::Instance();
    mVoice = audio != nullptr && sound.Length() > 0 ? audio->Play(sound, true) : 0;
    mPending = then;
    if (!mComplete)
        return;
    mTextSprite->SetAlignment(kTextAlignCenter);
    TStringTable* strings =
        TApplication::Get() != nullptr ? TApplication::Get()->GetStringTable() : nullptr;
    mTextSprite->SetText(strings != nullptr ? strings->GetString(text) : text);
    FitText(*mTextSprite, mFontSize);
    mTextSprite->SetAlignment(static_cast<uint32_t>(mTextFlags));
}

void ConversationCharacter::StartVoice()
{
    AudioManager* audio = AudioManager::Instance();
    // A voice that starts nothing (its file missing or unreadable) would never end the line.
    if (mVoice == 0 || audio == nullptr ||
        !audio->PlayIndex(mVoice, new SoundPlayRecord(false, &mSoundCallBack, 0)))
    {
        FinishLine();
        return;
    }
    mSpeaking = true;
}

void ConversationCharacter::FinishLine()
{
    Callback* saved = mPending;
    AddTransform(&mBubbleTransform,
                 new TM_Alpha(Duration(mTimeBubbleFade), 0, kFromCurrent, 0, kSmoothing),
                 new Callback(this, &StopVoiceThunk));
    mSpeaking = false;
    mPending = nullptr;
    if (saved != nullptr)
        saved->Call(nullptr, 0);
}

void ConversationCharacter::StopVoice()
{
    if (mVoice == 0)
        return;
    if (AudioManager* audio = AudioManager::Instance())
        audio->Stop(mVoice, false);
    mVoice = 0;
}

void ConversationCharacter::CutVoice()
{
    if (AudioManager* audio = AudioManager::Instance(); audio != nullptr && mVoice != 0)
        audio->StopIndex(mVoice);
}

void ConversationCharacter::Pause()
{
    if (TransformManager* manager = TransformManager::Instance())
    {
        manager->PauseTransforms(&mPortraitTransform);
        manager->PauseTransforms(&mBubbleTransform);
    }
    // Handle 0 would pause every sound of the game.
    if (AudioManager* audio = AudioManager::Instance(); audio != nullptr && mVoice != 0)
        audio->Pause(mVoice);
}

void ConversationCharacter::Resume()
{
    if (TransformManager* manager = TransformManager::Instance())
    {
        manager->ResumeTransforms(&mPortraitTransform);
        manager->ResumeTransforms(&mBubbleTransform);
    }
    if (AudioManager* audio = AudioManager::Instance(); audio != nullptr && mVoice != 0)
        audio->Resume(mVoice);
}

void ConversationCharacter::Draw(const TDrawSpec& spec)
{
    if (!mComplete)
        return;
    if (mFlip)
    {
        // A 2-D target's scale carries the translation along: the position is put back, so the
        // portrait mirrors where it stands.
        const float x = mPortraitTransform.GetX();
        mPortraitTransform.SetScaleX(-1);
        mPortraitTransform.SetX(x);
        mPortrait->Draw(spec);
        mPortraitTransform.SetScaleX(1);
        mPortraitTransform.SetX(x);
    }
    else
    {
        mPortrait->Draw(spec);
    }
    if (mBubbleTransform.GetAlpha() > 0)
    {
        const TDrawSpec placed = mBubbleSpec.Combine(mPortrait->GetSpec().Combine(spec));
        mBubble->Draw(placed);
        mTextSprite->Draw(placed);
    }
}
