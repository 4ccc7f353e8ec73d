// The transform instructions, their progress curve, the path loader and the instruction list.
#include "framework/transforms/transform_instructions.h"

#include "framework/core/frame_services.h"
#include "framework/transforms/transform_target.h"
#include "platform/files/file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

const TVec2 kFromCurrent2(kFromCurrent, kFromCurrent);
const TVec3 kFromCurrent3(kFromCurrent, kFromCurrent, kFromCurrent);

namespace
{
// pi / 2 as the float the heading arithmetic uses.
constexpr float kHalfPi = 1.5707963705062866f;
constexpr float kTwoPi = 6.2831855f;

// The heading of a direction of travel, pi/2 - atan2(x, y) radians, in the unit the target
// counts its rotation in: turns for a 2-D target, radians otherwise.
float Heading(TM_Transform* target, float dx, float dy)
{
    float radians = kHalfPi - std::atan2(dx, dy);
    return dynamic_cast<TM_Transform2D*>(target) != nullptr ? radians / kTwoPi : radians;
}

// One stepping rule for every single-valued instruction: absolute sets begin + delta x progress,
// relative adds the change of progress since the last step.
template <class V, class Get, class Set>
bool StepValue(TM_Instruction& in, uint32_t time, const V& begin, const V& end, const V& delta,
               Get get, Set set)
{
    if (in.mAbsolute != 0)
    {
        if (time >= in.mEndTime)
        {
            set(end);
            return false;
        }
        in.ComputeProgress(time);
        set(begin + delta * in.mProgress);
        return true;
    }
    float old = in.mProgress;
    if (time >= in.mEndTime)
    {
        set(get() + delta * (1.0f - old));
        return false;
    }
    in.ComputeProgress(time);
    set(get() + delta * (in.mProgress - old));
    return true;
}
} // namespace

// A delay and a duration that together pass what the clock's 32 bits count end at the last time
// they count, rather than wrapping round to an end before the start.
TM_Instruction::TM_Instruction(uint32_t duration, uint32_t delay, bool absolute, float smoothing)
    : mAbsolute(absolute ? 1 : 0), mDuration(duration), mDelay(delay),
      mEndTime(static_cast<uint32_t>(
          std::min<uint64_t>(uint64_t{delay} + duration, std::numeric_limits<uint32_t>::max()))),
      mSmoothing(smoothing)
{
}

void TM_Instruction::ComputeProgress(uint32_t time)
{
    double elapsed = static_cast<double>(static_cast<uint32_t>(time - mDelay));
    double share = elapsed / static_cast<double>(mDuration);
    if (mSmoothing == 1.0f)
        mProgress = static_cast<float>(share);
    else
        mProgress = static_cast<float>(1.0 / (1.0 + std::exp(-12.0 * (share + mSmoothing))));
}

// ---- TM_Alpha ----

TM_Alpha::TM_Alpha(uint32_t duration, float end, float begin, uint32_t delay, float smoothing)
    : TM_Instruction(duration, delay, true, smoothing), mBegin(begin), mEnd(end)
{
}

void TM_Alpha::Start(TM_Transform* target)
{
    mTarget = target;
    if (mBegin == kFromCurrent)
        mBegin = target->GetAlpha();
    Reset();
}

void TM_Alpha::Reset()
{
    mDelta = mEnd - mBegin;
    mProgress = 0;
}

bool TM_Alpha::Update(uint32_t time)
{
    TM_Transform* t = mTarget;
    return StepValue(
        *this, time, mBegin, mEnd, mDelta, [t] { return t->GetAlpha(); },
        [t](float v) { t->SetAlpha(v); });
}

// ---- TM_Scale ----

TM_Scale::TM_Scale(uint32_t duration, float end, float begin, uint32_t delay, float smoothing)
    : TM_Instruction(duration, delay, true, smoothing), mBegin(begin, begin, begin),
      mEnd(end, end, end)
{
}

void TM_Scale::Start(TM_Transform* target)
{
    mTarget = target;
    if (mBegin == kFromCurrent3)
        mBegin = target->GetScale();
    Reset();
}

void TM_Scale::Reset()
{
    mDelta = mEnd - mBegin;
    mProgress = 0;
}

bool TM_Scale::Update(uint32_t time)
{
    TM_Transform* t = mTarget;
    return StepValue(
        *this, time, mBegin, mEnd, mDelta, [t] { return t->GetScale(); },
        [t](const TVec3& v) { t->SetScale(v); });
}

// ---- TM_Rotate ----

TM_Rotate::TM_Rotate(uint32_t duration, bool absolute, float end, float begin, uint32_t delay,
                     float smoothing)
    : TM_Instruction(duration, delay, absolute, smoothing), mBegin(begin, begin, begin),
      mEnd(end, end, end)
{
}

TM_Rotate::TM_Rotate(uint32_t duration, const TVec3& end, const TVec3& begin, float smoothing)
    : TM_Instruction(duration, 0, true, smoothing), mBegin(begin), mEnd(end)
{
}

void TM_Rotate::Start(TM_Transform* target)
{
    mTarget = target;
    if (mBegin == kFromCurrent3)
        mBegin = target->GetRotation();
    Reset();
}

void TM_Rotate::Reset()
{
    mDelta = mEnd - mBegin;
    mProgress = 0;
}

bool TM_Rotate::Update(uint32_t time)
{
    TM_Transform* t = mTarget;
    return StepValue(
        *this, time, mBegin, mEnd, mDelta, [t] { return t->GetRotation(); },
        [t](const TVec3& v) { t->SetRotation(v); });
}

// ---- TM_Move ----

TM_Move::TM_Move(uint32_t duration, bool absolute, const TVec2& end, const TVec2& begin,
                 uint32_t delay, float smoothing)
    : TM_Instruction(duration, delay, absolute, smoothing),
      mBegin(begin == kFromCurrent2 ? kFromCurrent3 : TVec3(begin, 1.0f)), mEnd(end, 1.0f)
{
}

TM_Move::TM_Move(uint32_t duration, const TVec3& end, const TVec3& begin, float smoothing)
    : TM_Instruction(duration, 0, true, smoothing), mBegin(begin), mEnd(end)
{
}

void TM_Move::Start(TM_Transform* target)
{
    mTarget = target;
    if (mBegin == kFromCurrent3)
        mBegin = target->GetPosition();
    Reset();
}

void TM_Move::Reset()
{
    mDelta = mEnd - mBegin;
    mProgress = 0;
}

bool TM_Move::Update(uint32_t time)
{
    TM_Transform* t = mTarget;
    if (mFaceDirection != 0 && mProgress == 0)
        t->SetRotationZ(Heading(t, mDelta.x, mDelta.y));
    return StepValue(
        *this, time, mBegin, mEnd, mDelta, [t] { return t->GetPosition(); },
        [t](const TVec3& v) { t->SetPosition(v); });
}

// ---- TM_MovePath ----

TM_MovePath::TM_MovePath(uint32_t duration, const TString& fileName, const TVec2& startPosition,
                         bool orientAlongPath, float startFraction, float smoothing)
    : TM_Instruction(duration, 0, true, smoothing), mOrientAlongPath(orientAlongPath ? 1 : 0),
      mStartFraction(startFraction)
{
    LoadPath(fileName, startPosition);
}

void TM_MovePath::LoadPath(const TString& fileName, const TVec2& startPosition)
{
    mPoints.clear();
    mFractions.clear();
    mStartIndex = 0;
    mStartPoint = TVec3();

    TFile file;
    if (!file.Open(fileName, kFileReadBinary))
    {
        ReportError(fileName.c_str(), "tminstruction", 213, false);
        return;
    }
    int length = file.Length();
    std::vector<char> text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    int got = length > 0 ? file.Read(text.data(), length) : 0;
    if (got <= 0)
    {
        ReportError("Unable to read file", "tminstruction", 223, false);
        return;
    }
    text[static_cast<size_t>(got)] = '\0';

    // Commas alone separate tokens (a run of them counts as one); white space and line breaks
    // stay inside a token, where the number reading skips them.
    std::vector<const char*> tokens;
    for (char* token = std::strtok(text.data(), ","); token != nullptr;
         token = std::strtok(nullptr, ","))
        tokens.push_back(token);
    if (tokens.empty())
        return;
    // The count only reserves room, and never more than the pairs actually read.
    long count = std::strtol(tokens[0], nullptr, 10);
    size_t pairs = (tokens.size() - 1) / 2;
    if (count > 0)
        mPoints.reserve(std::min(static_cast<size_t>(count), pairs));
    // A lone last value (an x without its y) is left out.
    for (size_t i = 1; i + 1 < tokens.size(); i += 2)
    {
        float x = static_cast<float>(std::strtod(tokens[i], nullptr));
        float y = static_cast<float>(std::strtod(tokens[i + 1], nullptr));
        mPoints.push_back(TVec3(x, y, 0));
    }
    if (mPoints.empty())
        return;

    std::vector<double> lengths(1, 0.0);
    double total = 0;
    for (size_t i = 1; i < mPoints.size(); ++i)
    {
        TVec3 d = mPoints[i] - mPoints[i - 1];
        double segment = std::sqrt(static_cast<double>(d.x) * d.x + static_cast<double>(d.y) * d.y);
        lengths.push_back(segment);
        total += segment;
    }

    if (startPosition != kFromCurrent2 &&
        (startPosition.x != mPoints[0].x || startPosition.y != mPoints[0].y))
    {
        TVec3 shift(startPosition.x - mPoints[0].x, startPosition.y - mPoints[0].y, 0);
        for (TVec3& point : mPoints)
            point += shift;
    }

    if (mStartFraction > 0)
    {
        double goal = static_cast<double>(mStartFraction) * total;
        double sum = 0;
        uint32_t index = 0;
        for (size_t i = 1; i < lengths.size(); ++i)
        {
            sum += lengths[i];
            if (!(sum < goal))
                break;
            ++index;
        }
        // A fraction beyond the end starts on the last segment, which has a next point.
        if (mPoints.size() >= 2)
            index = std::min(index, static_cast<uint32_t>(mPoints.size() - 2));
        mStartIndex = index;
    }
    mStartPoint = mPoints[mStartIndex];

    double sum = 0;
    for (size_t i = 0; i < lengths.size(); ++i)
    {
        sum += lengths[i];
        mFractions.push_back(static_cast<float>(total > 0 ? sum / total : 0.0));
    }
}

void TM_MovePath::Start(TM_Transform* target)
{
    mTarget = target;
    Reset();
}

void TM_MovePath::Reset()
{
    mProgress = 0;
    if (mPoints.size() < 2)
        return;
    mSegmentIndex = mStartIndex;
    mSegmentStart = mStartPoint;
    mSegmentDelta = mPoints[mSegmentIndex + 1] - mSegmentStart;
}

bool TM_MovePath::Finish()
{
    mTarget->SetPosition(mPoints.back());
    mTarget->SetZ(1.0f);
    return false;
}

bool TM_MovePath::Update(uint32_t time)
{
    if (mPoints.size() < 2)
        return false;
    uint32_t offset = mStartFraction > 0
                          ? static_cast<uint32_t>(static_cast<float>(mDuration) * mStartFraction)
                          : 0;
    uint32_t t = time + offset;
    if (mOrientAlongPath != 0 && mProgress == 0)
    {
        TVec3 d = mPoints[mSegmentIndex + 1] - mSegmentStart;
        mTarget->SetRotationZ(Heading(mTarget, d.x, d.y));
    }
    if (t >= mEndTime)
        return Finish();
    ComputeProgress(t);
    // A segment of length 0 has no share of the path: it counts as passed.
    auto share = [this]
    {
        double span = mFractions[mSegmentIndex + 1] - mFractions[mSegmentIndex];
        return span > 0 ? (mProgress - mFractions[mSegmentIndex]) / span : 1.0;
    };
    double f = share();
    while (f >= 1)
    {
        if (mSegmentIndex + 2 >= mPoints.size())
            return Finish();
        ++mSegmentIndex;
        mSegmentStart = mPoints[mSegmentIndex];
        mSegmentDelta = mPoints[mSegmentIndex + 1] - mSegmentStart;
        f = share();
    }
    TVec3 position = mSegmentStart + mSegmentDelta * static_cast<float>(f);
    if (mOrientAlongPath != 0)
    {
        const TVec3& current = mTarget->GetPosition();
        float heading = Heading(mTarget, position.x - current.x, position.y - current.y);
        float r = mTarget->GetRotationZ();
        mTarget->SetRotationZ(r + (heading - r) / 10);
    }
    mTarget->SetPosition(position);
    mTarget->SetZ(1.0f);
    return true;
}

// ---- TM_InstructionList ----

TM_InstructionList::~TM_InstructionList()
{
    for (TM_Instruction* instruction : mInstructions)
        delete instruction;
}

void TM_InstructionList::Start(TM_Transform* target)
{
    for (TM_Instruction* instruction : mInstructions)
        instruction->Start(target);
    mWaiting = mInstructions;
    mTarget = target;
}

void TM_InstructionList::Reset()
{
    for (TM_Instruction* instruction : mInstructions)
        instruction->Reset();
    mWaiting = mInstructions;
    mRunning.clear();
    mStartTime = 0;
    mStarted = false;
}

bool TM_InstructionList::Update(uint32_t now)
{
    if (!mStarted)
    {
        mStarted = true;
        mStartTime = now;
    }
    uint32_t t = now - mStartTime;
    auto due = [t](TM_Instruction* in) { return in->mDelay <= t; };
    std::copy_if(mWaiting.begin(), mWaiting.end(), std::back_inserter(mRunning), due);
    std::erase_if(mWaiting, due);
    std::erase_if(mRunning, [t](TM_Instruction* in) { return !in->Update(t); });
    return !mWaiting.empty() || !mRunning.empty();
}
