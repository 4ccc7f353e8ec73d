// IllustrationPanelEvent: a named bundle of changes to a cut-scene's current cell: layers,
// particle effects and sounds to switch on or off, and panel animations to start. Fired by name by
// the panel, as often as it likes; it holds no state of its own.
#pragma once

#include "platform/strings/tstring.h"

#include <vector>

class TLuaTable;

class IllustrationPanelEvent
{
public:
    // Each list key is a table whose values, in iteration order, are the names; a missing key
    // leaves its list empty.
    explicit IllustrationPanelEvent(const TLuaTable& table);

    const TString& GetName() const { return mName; }

    std::vector<TString> mActivateLayers;
    std::vector<TString> mDeactivateLayers;
    std::vector<TString> mActivateParticles;
    std::vector<TString> mDeactivateParticles;
    std::vector<TString> mActivateSounds;
    std::vector<TString> mDeactivateSounds;
    std::vector<TString> mAnimations;

private:
    TString mName;
};
