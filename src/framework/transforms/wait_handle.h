// WaitHandle: one report owed to whoever waits for a change, held by the thing that changes (an
// animation block, a frame sequence, an entity, an inventory object, the strip). It is told exactly
// once: by the change's end, or, when the change is cut short (replaced by another, cleared, its
// holder destroyed), by that, so nothing can drop a report without telling it.
// A holder is offered a report as `WaitHandle&&` and moves it in only when it takes the change on:
// one left in the caller's hands was not taken, and the caller may withdraw it.
#pragma once

#include "framework/transforms/transform_manager.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// What a handle tells, shared with whoever waits: the waiter may cancel it when it goes first.
struct WaitToken
{
    Callback mReport{nullptr, nullptr};
    // The argument a cut-short change tells with.
    uint32_t mArgument = 0;
    bool mTold = false;

    void Cancel() { mReport = Callback(nullptr, nullptr); }
};

class WaitHandle
{
public:
    WaitHandle() = default;
    // No report: a change nobody waits for.
    WaitHandle(std::nullptr_t) {}
    explicit WaitHandle(std::shared_ptr<WaitToken> token) : mToken(std::move(token)) {}
    // A handle of its own for a plain callback, told at its end and when cut short.
    static WaitHandle For(const Callback& report, uint32_t argument = 0);
    // A plain callback told only by its change's end; a change cut short drops it, as the
    // holders of such callbacks (a cut-scene's parts) keep their own count.
    static WaitHandle EndOnly(const Callback& report);

    WaitHandle(const WaitHandle&) = delete;
    WaitHandle& operator=(const WaitHandle&) = delete;
    WaitHandle(WaitHandle&& other) noexcept
        : mToken(std::move(other.mToken)), mEndOnly(other.mEndOnly)
    {
        other.mEndOnly = false;
    }
    // The report held before is told first: its change was replaced.
    WaitHandle& operator=(WaitHandle&& other) noexcept;
    ~WaitHandle() { CutShort(); }

    // The change ended: told with `argument`, once.
    void Tell(TM_Transform* target, uint32_t argument);
    // The change will not end: told with the token's argument, once.
    void CutShort();
    bool IsHeld() const { return mToken != nullptr && !mToken->mTold; }
    // Let go untold: for a holder that goes with whoever waits (a location's animations go with
    // the location).
    void Forget()
    {
        mToken.reset();
        mEndOnly = false;
    }
    // Let go untold, handing the token to whoever withdraws it.
    std::shared_ptr<WaitToken> Release()
    {
        mEndOnly = false;
        return std::move(mToken);
    }

private:
    std::shared_ptr<WaitToken> mToken;
    bool mEndOnly = false;
};
