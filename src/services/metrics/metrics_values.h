// The values of a metrics record and the block that collects them: a fixed text, a state's latest
// value or a state's timer, each read from the recorder when the block is written.
#pragma once

#include "platform/strings/tstring.h"

#include <memory>
#include <vector>

class TMetricsRecorder;

class TGameStateValue
{
public:
    virtual ~TGameStateValue() = default;
    virtual TString GetText(const TMetricsRecorder& recorder) const = 0;
};

// A text given when the block was filled.
class TConstValue : public TGameStateValue
{
public:
    explicit TConstValue(TString text) : mText(std::move(text)) {}
    TString GetText(const TMetricsRecorder& recorder) const override;

private:
    TString mText;
};

// The latest value of a state; "" when the state was never recorded.
class TStatusValue : public TGameStateValue
{
public:
    explicit TStatusValue(TString state) : mState(std::move(state)) {}
    TString GetText(const TMetricsRecorder& recorder) const override;

private:
    TString mState;
};

// A state's timer in milliseconds, a running one up to now; "0" when the state has none.
class TElapsedTimeValue : public TGameStateValue
{
public:
    explicit TElapsedTimeValue(TString state) : mState(std::move(state)) {}
    TString GetText(const TMetricsRecorder& recorder) const override;

private:
    TString mState;
};

// A named list of values that becomes one record. Copies share the value objects.
class TStatusBlock
{
public:
    TStatusBlock() = default;
    explicit TStatusBlock(TString name) : mName(std::move(name)) {}
    virtual ~TStatusBlock() = default;
    TStatusBlock(const TStatusBlock&) = default;
    TStatusBlock& operator=(const TStatusBlock&) = default;

    void SetName(const TString& name) { mName = name; }
    const TString& GetName() const { return mName; }
    void AddValue(std::shared_ptr<TGameStateValue> value) { mValues.push_back(std::move(value)); }
    // Appends every value's text, in the order the values were added.
    void GetValues(const TMetricsRecorder& recorder, std::vector<TString>& list) const;
    size_t GetValueCount() const { return mValues.size(); }

private:
    TString mName;
    std::vector<std::shared_ptr<TGameStateValue>> mValues;
};
