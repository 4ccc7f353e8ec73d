// GameplayHintLiraeToken: one picture of the row Lirae's player matches in turn. It fades in when
// it becomes current and moves, scaling, to its destination once matched.
#pragma once

#include "framework/transforms/transform_target.h"
#include "platform/maths/geometry.h"

#include <cstdint>
#include <memory>

class TAnimatedSprite;
class TLuaTable;

class GameplayHintLiraeToken
{
public:
    explicit GameplayHintLiraeToken(const TLuaTable& table);
    ~GameplayHintLiraeToken();
    GameplayHintLiraeToken(const GameplayHintLiraeToken&) = delete;
    GameplayHintLiraeToken& operator=(const GameplayHintLiraeToken&) = delete;

    // `destination` in panel coordinates.
    void MoveToDestination(const TVec2& destination);
    void FadeIn();

    const TVec2& GetStartPosition() const { return mStartPosition; }
    int32_t GetTimeToDestination() const { return mTimeToDestination; }
    float GetScaleToDestination() const { return mScaleToDestination; }
    const std::shared_ptr<TAnimatedSprite>& GetSprite() const { return mSprite; }
    TM_Transform2D& GetTransform() { return *mTransform; }

private:
    int32_t mTimeToDestination = 0;
    TVec2 mStartPosition;
    float mScaleToDestination = 0;
    std::shared_ptr<TAnimatedSprite> mSprite;
    std::unique_ptr<TM_Transform2D> mTransform;
};
