// GameplaySound: one of a scene's ambient sound sets, started after its delays when an event
// activates it, inactive again when a one-shot set's last sound ends.
#pragma once

#include "framework/adventure/entities/gameplay_entity.h"
#include "sound/sound.h"

#include <memory>

class SoundEffect;

class GameplaySound : public GameplayEntity
{
public:
    // Told by the sound set when a one-shot set has finished its last sound.
    class SoundCallBack : public TSoundCallBack
    {
    public:
        explicit SoundCallBack(GameplaySound* owner) : mOwner(owner) {}
        void OnSoundEnd(const std::shared_ptr<TSoundInstance>& instance,
                        const std::shared_ptr<TSound>& next) override;

    private:
        GameplaySound* mOwner;
    };

    // The sound set's keys ("sounds", "delay", "initialdelay", "loop", "groupid") beside the
    // entity's.
    explicit GameplaySound(const TLuaTable& table);
    // Releases the set first, so that it holds no callback into a dead entity.
    ~GameplaySound() override;

    // Counts the set's start delay down and starts it when it runs out.
    void Update(uint32_t elapsedMs) override;
    void Draw(const TDrawSpec& parent) override;
    void DrawEffects(const TDrawSpec& parent) override;
    void Pause() override;
    void Resume() override;
    TRect GetRect(const TDrawSpec& parent) override;
    // Animated or looping: restarts the set after its initial delay plus its delay. A one-shot
    // set activated without animation starts nothing. The callback fires on the next update.
    void Activate(bool animate, WaitHandle&& report) override;
    // Stops the set; no start stays due.
    void Deactivate(bool animate, WaitHandle&& report) override;
    void CreateTextures() override;
    void ReleaseTextures() override;

    // A sound of the set is under way (playing or paused).
    bool IsPlaying() const;
    bool IsLooping() const;
    SoundEffect& GetSoundEffect() { return *mSound; }

private:
    std::shared_ptr<SoundCallBack> mEndCallback;
    std::shared_ptr<SoundEffect> mSound;
};
