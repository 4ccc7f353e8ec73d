// Transform instructions: one timed change of one value of a TM_Transform (alpha, scale, rotation,
// position, a path read from a file) with linear or logistic progress, and TM_InstructionList,
// the instructions started together and run each after its own delay.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <vector>

class TM_Transform;

// The begin value that means "the target's value when the list is handed over".
constexpr float kFromCurrent = 1e8f;
extern const TVec2 kFromCurrent2;
extern const TVec3 kFromCurrent3;

class TM_Instruction
{
public:
    TM_Instruction(uint32_t duration, uint32_t delay, bool absolute, float smoothing);
    TM_Instruction(const TM_Instruction&) = delete;
    TM_Instruction& operator=(const TM_Instruction&) = delete;
    virtual ~TM_Instruction() = default;

    // Stores the target, takes a from-current begin from it and resets.
    virtual void Start(TM_Transform* target) = 0;
    virtual void Reset() = 0;
    // `time` is ms since the list's first update; false once the end value is set.
    virtual bool Update(uint32_t time) = 0;

    // Linear when the smoothing is exactly 1, else 1 / (1 + e^(-12 (elapsed / duration +
    // smoothing))).
    void ComputeProgress(uint32_t time);

    TM_Transform* mTarget = nullptr;
    uint8_t mAbsolute = 1;
    uint32_t mDuration = 0;
    uint32_t mDelay = 0;
    uint32_t mEndTime = 0;
    float mProgress = 0;
    float mSmoothing = 1.0f;
};

class TM_Alpha : public TM_Instruction
{
public:
    TM_Alpha(uint32_t duration, float end, float begin, uint32_t delay, float smoothing);
    void Start(TM_Transform* target) override;
    void Reset() override;
    bool Update(uint32_t time) override;

    float mBegin;
    float mEnd;
    float mDelta = 0;
};

class TM_Scale : public TM_Instruction
{
public:
    // A uniform scale; a begin of 1e8 is taken from the target.
    TM_Scale(uint32_t duration, float end, float begin, uint32_t delay, float smoothing);
    void Start(TM_Transform* target) override;
    void Reset() override;
    bool Update(uint32_t time) override;

    TVec3 mBegin;
    TVec3 mEnd;
    TVec3 mDelta;
};

class TM_Rotate : public TM_Instruction
{
public:
    // One angle for x, y and z alike.
    TM_Rotate(uint32_t duration, bool absolute, float end, float begin, uint32_t delay,
              float smoothing);
    TM_Rotate(uint32_t duration, const TVec3& end, const TVec3& begin, float smoothing);
    void Start(TM_Transform* target) override;
    void Reset() override;
    bool Update(uint32_t time) override;

    TVec3 mBegin;
    TVec3 mEnd;
    TVec3 mDelta;
};

class TM_Move : public TM_Instruction
{
public:
    // The 2-D points get z 1, so a 2-D target's homogeneous element stays 1.
    TM_Move(uint32_t duration, bool absolute, const TVec2& end, const TVec2& begin, uint32_t delay,
            float smoothing);
    TM_Move(uint32_t duration, const TVec3& end, const TVec3& begin, float smoothing);
    void Start(TM_Transform* target) override;
    void Reset() override;
    bool Update(uint32_t time) override;

    // Turns the target towards the direction of travel at the move's first step.
    uint8_t mFaceDirection = 0;
    TVec3 mBegin;
    TVec3 mEnd;
    TVec3 mDelta;
};

class TM_MovePath : public TM_Instruction
{
public:
    // Reads the path file at once; a start position of kFromCurrent2 keeps the file's
    // coordinates. A path of fewer than two points ends at its first update, target unchanged.
    TM_MovePath(uint32_t duration, const TString& fileName, const TVec2& startPosition,
                bool orientAlongPath, float startFraction, float smoothing);
    void Start(TM_Transform* target) override;
    void Reset() override;
    bool Update(uint32_t time) override;

    // The path loader: fills points, fractions, startIndex and startPoint from the file.
    void LoadPath(const TString& fileName, const TVec2& startPosition);

    std::vector<TVec3> mPoints;
    // Share of the whole length before each point, rounded to single precision.
    std::vector<double> mFractions;
    uint32_t mSegmentIndex = 0;
    TVec3 mSegmentStart;
    TVec3 mSegmentDelta;
    uint8_t mOrientAlongPath = 0;
    float mStartFraction = 0;
    uint32_t mStartIndex = 0;
    TVec3 mStartPoint;

private:
    bool Finish();
};

class TM_InstructionList
{
public:
    TM_InstructionList() = default;
    TM_InstructionList(const TM_InstructionList&) = delete;
    TM_InstructionList& operator=(const TM_InstructionList&) = delete;
    ~TM_InstructionList();

    // The list owns what is pushed.
    void push_back(TM_Instruction* instruction) { mInstructions.push_back(instruction); }

    void Start(TM_Transform* target);
    void Reset();
    // True while an instruction waits or runs. An instruction whose delay has passed is stepped
    // in the same call.
    bool Update(uint32_t now);

    bool HasStarted() const { return mStarted; }

    std::vector<TM_Instruction*> mInstructions;
    std::vector<TM_Instruction*> mWaiting;
    std::vector<TM_Instruction*> mRunning;
    TM_Transform* mTarget = nullptr;
    uint32_t mStartTime = 0;
    // Kept beside startTime: the clock may read 0 at a list's first update.
    bool mStarted = false;
    // The frame time at which the manager paused the list.
    uint32_t mPauseTime = 0;
};
