// RitualPattern: one of the ritual puzzle's five patterns: the five crystals it demonstrates, the
// answer (the demonstration reversed), the clicks counted so far and the demonstration's timers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class RitualCrystal;
class TLuaTable;

class RitualPattern
{
public:
    static constexpr size_t kSteps = 5;
    static constexpr size_t kCrystals = 5;

    // "step01" to "step05" of the pattern's table, "idletimermax" and "sequencetimermax" of the
    // shared `info`; numbers truncated, missing ones 0. `crystals` is the scene's five, kept.
    // False (and the steps kept as read) when a step names no crystal 1 to 5.
    bool Load(const TLuaTable& pattern, const TLuaTable& info, RitualCrystal* crystals);
    // The demonstration, only while showing: the idle wait first, then each step's crystal lit
    // until its timer exceeds the sequence time; after the fifth, showing ends.
    void Update(uint32_t elapsedMs);
    // From the first step, after the idle wait.
    void StartDemonstration();
    // The crystal named (1 to 5) is lit; the answer counted, or on a wrong one the count cleared,
    // every crystal put out and the demonstration started again. True when it was the step due.
    bool Answer(int32_t crystal);
    // A record's answers taken up: the first `answered` crystals of the answer lit and counted,
    // and the pattern waiting for the next (no demonstration first).
    void TakeAnswersFrom(int32_t answered);
    // The crystal the next answer must name; 0 once all are answered.
    int32_t GetDue() const
    {
        return mAnswered < mStepCount ? mAnswer[static_cast<size_t>(mAnswered)] : 0;
    }

    int32_t GetStep(size_t k) const { return mSteps[k]; }
    int32_t GetAnswer(size_t k) const { return mAnswer[k]; }
    int32_t GetAnswered() const { return mAnswered; }
    int32_t GetShownStep() const { return mShownStep; }
    bool IsShowing() const { return mShowing; }
    bool IsSolved() const { return mSolved; }
    uint32_t GetStepTimer() const { return mStepTimer; }
    uint32_t GetIdleTimer() const { return mIdleTimer; }
    uint32_t GetSequenceTimeMax() const { return mSequenceTimeMax; }
    uint32_t GetIdleTimeMax() const { return mIdleTimeMax; }

private:
    // Null for a value that names no crystal.
    RitualCrystal* Crystal(int32_t number) const;

    std::array<int32_t, kSteps> mSteps{};
    std::array<int32_t, kSteps> mAnswer{};
    int32_t mAnswered = 0;
    int32_t mShownStep = 0;
    bool mShowing = false;
    bool mSolved = false;
    uint32_t mStepTimer = 0;
    uint32_t mSequenceTimeMax = 0;
    uint32_t mIdleTimer = 0;
    uint32_t mIdleTimeMax = 0;
    int32_t mStepCount = static_cast<int32_t>(kSteps);
    RitualCrystal* mCrystals = nullptr;
};
