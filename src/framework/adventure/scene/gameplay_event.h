// GameplayEvent: one named event of a location as its table gives it: the entities it switches,
// the inventory objects it moves, the animations it starts, and the scene, dialog, minigame and
// events that follow.
#pragma once

#include "platform/strings/tstring.h"

#include <utility>
#include <vector>

class TLuaTable;

class GameplayEvent
{
public:
    // Every key optional: lists are the values of their tables as script text, in iteration
    // order; a key that holds no table gives an empty list.
    explicit GameplayEvent(const TLuaTable& table);
    virtual ~GameplayEvent();
    GameplayEvent(const GameplayEvent&) = delete;
    GameplayEvent& operator=(const GameplayEvent&) = delete;

    const TString& GetName() const { return mName; }
    const std::vector<TString>& GetAreasToActivate() const { return mAreasToActivate; }
    const std::vector<TString>& GetAreasToMakeVisible() const { return mAreasToMakeVisible; }
    const std::vector<TString>& GetAreasToComplete() const { return mAreasToComplete; }
    const std::vector<TString>& GetAreasToIncomplete() const { return mAreasToIncomplete; }
    const std::vector<TString>& GetAreasToDeactivate() const { return mAreasToDeactivate; }
    const std::vector<TString>& GetInventoryToActivate() const { return mInventoryToActivate; }
    const std::vector<TString>& GetInventoryToAddToScene() const { return mInventoryToAddToScene; }
    const std::vector<TString>& GetInventoryToDeactivate() const { return mInventoryToDeactivate; }
    const std::vector<TString>& GetInventoryToMakeInvisible() const
    {
        return mInventoryToMakeInvisible;
    }
    const std::vector<TString>& GetLayersToActivate() const { return mLayersToActivate; }
    const std::vector<TString>& GetLayersToDeactivate() const { return mLayersToDeactivate; }
    const std::vector<TString>& GetParticlesToActivate() const { return mParticlesToActivate; }
    const std::vector<TString>& GetParticlesToDeactivate() const { return mParticlesToDeactivate; }
    const std::vector<TString>& GetAnimations() const { return mAnimations; }
    const std::vector<TString>& GetSoundsToActivate() const { return mSoundsToActivate; }
    const std::vector<TString>& GetSoundsToDeactivate() const { return mSoundsToDeactivate; }
    const TString& GetInventoryToEquip() const { return mInventoryToEquip; }
    const TString& GetAction() const { return mAction; }
    const TString& GetDialog() const { return mDialog; }
    const TString& GetMinigame() const { return mMinigame; }
    const TString& GetNextEvent() const { return mNextEvent; }
    const TString& GetEventToActivateOnClick() const { return mEventToActivateOnClick; }
    // The list keys given a text instead of a list (key, text): read as empty lists.
    const std::vector<std::pair<TString, TString>>& GetListsGivenAsText() const
    {
        return mListsGivenAsText;
    }

protected:
    TString mName;
    std::vector<TString> mAreasToActivate;
    std::vector<TString> mAreasToMakeVisible;
    std::vector<TString> mAreasToComplete;
    std::vector<TString> mAreasToIncomplete;
    std::vector<TString> mAreasToDeactivate;
    std::vector<TString> mInventoryToActivate;
    std::vector<TString> mInventoryToAddToScene;
    std::vector<TString> mInventoryToDeactivate;
    std::vector<TString> mInventoryToMakeInvisible;
    std::vector<TString> mLayersToActivate;
    std::vector<TString> mLayersToDeactivate;
    std::vector<TString> mParticlesToActivate;
    std::vector<TString> mParticlesToDeactivate;
    std::vector<TString> mAnimations;
    std::vector<TString> mSoundsToActivate;
    std::vector<TString> mSoundsToDeactivate;
    TString mInventoryToEquip;
    TString mAction;
    TString mDialog;
    TString mMinigame;
    TString mNextEvent;
    TString mEventToActivateOnClick;
    std::vector<std::pair<TString, TString>> mListsGivenAsText;
};

// The values of table[key] as script text, in the table's iteration order; empty when the entry
// is no table. The key is read once; where it holds a text (or a number) instead of a list and
// `text` is given, the text is put there.
std::vector<TString> ReadStringList(const TLuaTable& table, const char* key,
                                    TString* text = nullptr);
