// The owed report: told once, by the end or by whatever cuts the change short.
#include "framework/transforms/wait_handle.h"

WaitHandle WaitHandle::For(const Callback& report, uint32_t argument)
{
    auto token = std::make_shared<WaitToken>();
    token->mReport = report;
    token->mArgument = argument;
    return WaitHandle(std::move(token));
}

WaitHandle WaitHandle::EndOnly(const Callback& report)
{
    WaitHandle handle = For(report);
    handle.mEndOnly = true;
    return handle;
}

WaitHandle& WaitHandle::operator=(WaitHandle&& other) noexcept
{
    if (this == &other)
        return *this;
    // Taken over before the old one is told: the report may replace this handle again.
    WaitHandle replaced(std::move(*this));
    mToken = std::move(other.mToken);
    mEndOnly = other.mEndOnly;
    other.mEndOnly = false;
    replaced.CutShort();
    return *this;
}

void WaitHandle::Tell(TM_Transform* target, uint32_t argument)
{
    std::shared_ptr<WaitToken> token = std::move(mToken);
    mEndOnly = false;
    if (token == nullptr || token->mTold)
        return;
    token->mTold = true;
    // A copy: the call may free whoever holds the handle.
    const Callback report = token->mReport;
    report.Call(target, argument);
}

void WaitHandle::CutShort()
{
    if (mEndOnly)
    {
        mToken.reset();
        mEndOnly = false;
        return;
    }
    if (mToken != nullptr)
        Tell(nullptr, mToken->mArgument);
}
