// What each kind of metrics value reports.
#include "services/metrics/metrics_values.h"

#include "services/metrics/metrics_recorder.h"

TString TConstValue::GetText(const TMetricsRecorder& /*recorder*/) const
{
    return mText;
}

TString TStatusValue::GetText(const TMetricsRecorder& recorder) const
{
    return recorder.GetLatestValue(mState);
}

TString TElapsedTimeValue::GetText(const TMetricsRecorder& recorder) const
{
    return TString::Format("%d", recorder.GetTimerValue(mState));
}

void TStatusBlock::GetValues(const TMetricsRecorder& recorder, std::vector<TString>& list) const
{
    for (const std::shared_ptr<TGameStateValue>& value : mValues)
        list.push_back(value->GetText(recorder));
}
