// MKWGameplayEvent: the game's event: the framework's event with the journal entries it opens
// and closes.
#pragma once

#include "framework/adventure/scene/gameplay_event.h"

class MKWGameplayEvent : public GameplayEvent
{
public:
    // "journaltoactivate" and "journaltodeactivate": their values as text, in table order;
    // numbers become text, other values are left out with a log line; absent lists are empty.
    explicit MKWGameplayEvent(const TLuaTable& table);
    ~MKWGameplayEvent() override;

    const std::vector<TString>& GetJournalToActivate() const { return mJournalToActivate; }
    const std::vector<TString>& GetJournalToDeactivate() const { return mJournalToDeactivate; }

protected:
    std::vector<TString> mJournalToActivate;
    std::vector<TString> mJournalToDeactivate;
};
