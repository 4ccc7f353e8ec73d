// Helpers for the particle tests: programs built in C++, a particle block with guard floats around
// it, and a failure reporter that records what nodes report.
#pragma once

#include "particles/failure.h"
#include "particles/particle_nodes.h"
#include "particles/particle_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace particle_test
{
// The renderer's five members (position, up, scale, colour, frame) and a velocity: 12 floats.
inline const uint8_t kMemberWidths[] = {2, 2, 1, 4, 1, 2};
constexpr uint32_t kMemberCount = 6;
constexpr int kFloats = 12;
constexpr int kGuard = 4;
constexpr float kGuardValue = -777.0f;

// Postfix programs written in the order a compiler would emit them.
class ProgramBuilder
{
public:
    ProgramBuilder& Push(float v) { return Add(std::make_shared<FPush<float>>(v), 0); }
    ProgramBuilder& Push(TVec2 v) { return Add(std::make_shared<FPush<TVec2>>(v), 0); }
    ProgramBuilder& Push(TVec3 v) { return Add(std::make_shared<FPush<TVec3>>(v), 0); }
    ProgramBuilder& Push(TVec4 v) { return Add(std::make_shared<FPush<TVec4>>(v), 0); }
    ProgramBuilder& Member(int16_t base, uint8_t size)
    {
        return Add(std::make_shared<FGetParticleParam>(base, size), 0);
    }
    ProgramBuilder& Node(const char* name, uint8_t argc)
    {
        TParticleNodeFactory factory = FindParticleNodeFactory(name);
        EXPECT_NE(factory, nullptr) << name;
        return Add(factory(), argc);
    }
    ProgramBuilder& Add(std::shared_ptr<TParticleFunction> node, uint8_t argc)
    {
        mProgram.push_back({std::move(node), argc});
        return *this;
    }
    const TParticleProgram& Get() const { return mProgram; }
    operator const TParticleProgram&() const { return mProgram; }

private:
    TParticleProgram mProgram;
};

// One particle of kFloats floats between guards that no node may touch.
struct GuardedParticle
{
    GuardedParticle()
    {
        for (float& f : mBlock)
            f = kGuardValue;
        for (int i = 0; i < kFloats; ++i)
            mBlock[kGuard + i] = 0.0f;
    }
    float* Floats() { return mBlock + kGuard; }
    bool GuardsIntact() const
    {
        for (int i = 0; i < kGuard; ++i)
        {
            if (mBlock[i] != kGuardValue || mBlock[kGuard + kFloats + i] != kGuardValue)
                return false;
        }
        return true;
    }
    float mBlock[kFloats + 2 * kGuard];
};

// The slot's floats on a runner's stack.
inline std::vector<float> Slot(TParticleRunner& runner, int slot)
{
    TParticleStack& stack = runner.GetStack();
    const float* data = stack.mData + stack.mOffsets[slot];
    return std::vector<float>(data, data + stack.mWidths[slot]);
}

class RecordingFailure : public TFailure
{
public:
    RecordingFailure() : mPrevious(gFailure) { gFailure = this; }
    ~RecordingFailure() override { gFailure = mPrevious; }
    void Report(const char* message, int line, const char* file) override
    {
        mLines.push_back(std::string(file) + "(" + std::to_string(line) + "): " + message);
    }
    void Report(const char* message) override { mLines.push_back(message); }

    std::vector<std::string> mLines;

private:
    TFailure* mPrevious;
};
} // namespace particle_test
