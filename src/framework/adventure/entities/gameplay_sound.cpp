// Sound entities: the set's countdown, activation and the end of a one-shot set.
#include "framework/adventure/entities/gameplay_sound.h"

#include "framework/sound/sound_effect.h"

void GameplaySound::SoundCallBack::OnSoundEnd(const std::shared_ptr<TSoundInstance>&,
                                              const std::shared_ptr<TSound>&)
{
    mOwner->mFlags &= static_cast<uint8_t>(~kActive);
}

GameplaySound::GameplaySound(const TLuaTable& table)
    : GameplayEntity(table, kTypeSound), mEndCallback(std::make_shared<SoundCallBack>(this)),
      mSound(SoundEffect::Create(table))
{
}

GameplaySound::~GameplaySound()
{
    mSound->mEndCallback = nullptr;
    mSound->Release();
}

void GameplaySound::Update(uint32_t elapsedMs)
{
    mSound->Update(elapsedMs);
    GameplayEntity::Update(elapsedMs);
}

void GameplaySound::Draw(const TDrawSpec&) {}

void GameplaySound::DrawEffects(const TDrawSpec&) {}

void GameplaySound::Pause()
{
    mSound->Pause();
}

void GameplaySound::Resume()
{
    mSound->Resume();
}

TRect GameplaySound::GetRect(const TDrawSpec&)
{
    return TRect(0, 0, 0, 0);
}

void GameplaySound::Activate(bool animate, WaitHandle&& report)
{
    mCompletionPending = 1;
    if (animate || mSound->mLoop != 0)
    {
        mSound->Stop();
        mSound->mEndCallback = mEndCallback.get();
        mSound->mPending = mSound->GetStartDelay();
        mFlags |= kActive;
        HoldReport(std::move(report));
        return;
    }
    if (report.IsHeld())
    {
        mFlags &= static_cast<uint8_t>(~kActive);
        HoldReport(std::move(report));
    }
}

void GameplaySound::Deactivate(bool, WaitHandle&& report)
{
    mSound->Stop();
    // A start still counting down would otherwise play a deactivated sound later.
    mSound->mPending = -1;
    mFlags &= static_cast<uint8_t>(~kActive);
    mCompletionPending = 1;
    HoldReport(std::move(report));
}

void GameplaySound::CreateTextures()
{
    mSound->ResolveSounds();
}

void GameplaySound::ReleaseTextures()
{
    mSound->Release();
}

bool GameplaySound::IsPlaying() const
{
    return mSound->IsPlaying();
}

bool GameplaySound::IsLooping() const
{
    return mSound->mLoop != 0;
}
