// The names a location's parts refer to, checked once when it is loaded: a misspelt event, object
// or layer otherwise shows only as a location that can no longer be finished. Each name the
// location lacks is said once, with whoever refers to it, each name looked for where the one
// that uses it looks; then the shapes that can never end: a chain of next events or of next
// conversations that comes round again, an object of no parts, an item giving parts its object
// does not have, two finds giving one part, a wait longer than the longest; and a location
// larger than its record holds. Nothing else changes.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_animation.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/conversation/conversation_controller.h"
#include "framework/core/frame_services.h"
#include "framework/transforms/transform_target.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace
{

const char kSource[] = "gameplay";

std::string_view View(const TString& text)
{
    return std::string_view(text.c_str(), static_cast<size_t>(text.Length()));
}

// The names of one kind the location has, and the lacking ones met so far with who names them,
// in the order first met.
class NameCheck
{
public:
    explicit NameCheck(const char* kind) : mKind(kind) {}
    void Add(const TString& name) { mKnown.insert(std::string(View(name))); }
    void Refer(const TString& name, const std::string& referrer)
    {
        if (name.Length() == 0 || mKnown.count(std::string(View(name))) != 0)
            return;
        auto [entry, added] = mLacking.try_emplace(std::string(View(name)), mOrder.size());
        if (added)
            mOrder.push_back({std::string(View(name)), {}});
        std::vector<std::string>& referrers = mOrder[entry->second].second;
        if (referrers.empty() || referrers.back() != referrer)
            referrers.push_back(referrer);
    }
    void Refer(const std::vector<TString>& names, const std::string& referrer)
    {
        for (const TString& name : names)
            Refer(name, referrer);
    }
    void Report() const
    {
        for (const auto& [name, referrers] : mOrder)
        {
            std::string by;
            for (const std::string& referrer : referrers)
                by += (by.empty() ? "" : ", ") + referrer;
            ReportError(TString::Format("The location has no %s '%s', which %s names", mKind,
                                        name.c_str(), by.c_str())
                            .c_str(),
                        kSource, __LINE__, false);
        }
    }

private:
    const char* mKind;
    std::unordered_set<std::string> mKnown;
    std::unordered_map<std::string, size_t> mLacking;
    std::vector<std::pair<std::string, std::vector<std::string>>> mOrder;
};

std::string Who(const char* kind, const TString& name)
{
    return std::string(kind) + " '" + std::string(View(name)) + "'";
}

void Say(const TString& line)
{
    ReportError(line.c_str(), kSource, __LINE__, false);
}

// The one word besides a scene's name an event's action holds: the game's runner ends the
// location on it.
const char kEndsTheLocation[] = "scene_complete";

constexpr size_t kNone = SIZE_MAX;

// The cycles of a list whose entries each lead to at most one other (`next`, kNone for none):
// each cycle once, its entries in their order along it from the first of them in the list.
std::vector<std::vector<size_t>> Cycles(const std::vector<size_t>& next)
{
    const size_t count = next.size();
    std::vector<std::vector<size_t>> cycles;
    // 0 not seen, 1 on the path being walked, 2 done.
    std::vector<uint8_t> seen(count, 0);
    for (size_t start = 0; start < count; ++start)
    {
        std::vector<size_t> path;
        size_t at = start;
        while (at != kNone && seen[at] == 0)
        {
            seen[at] = 1;
            path.push_back(at);
            at = next[at];
        }
        if (at != kNone && seen[at] == 1)
        {
            std::vector<size_t> cycle(std::find(path.begin(), path.end(), at), path.end());
            std::rotate(cycle.begin(), std::min_element(cycle.begin(), cycle.end()), cycle.end());
            cycles.push_back(std::move(cycle));
        }
        for (const size_t i : path)
            seen[i] = 2;
    }
    return cycles;
}

// Each entry's next one by name (kNone for none or an unknown name).
template <class Name, class NextName>
std::vector<size_t> NextIndices(size_t count, Name name, NextName nextName)
{
    std::unordered_map<std::string, size_t> index;
    for (size_t i = 0; i < count; ++i)
        index.try_emplace(std::string(View(name(i))), i);
    std::vector<size_t> next(count, kNone);
    for (size_t i = 0; i < count; ++i)
    {
        const TString& after = nextName(i);
        if (after.Length() == 0)
            continue;
        if (const auto found = index.find(std::string(View(after))); found != index.end())
            next[i] = found->second;
    }
    return next;
}

// "'a' -> 'b' -> 'a'": a cycle round to its first entry again.
template <class Name> std::string Round(const std::vector<size_t>& cycle, Name name)
{
    std::string chain;
    for (const size_t i : cycle)
        chain += "'" + std::string(View(name(i))) + "' -> ";
    return chain + "'" + std::string(View(name(cycle.front()))) + "'";
}

// Lines lead to one next line only, so a cycle is a conversation nobody can leave; the controller
// ends it where it comes round again.
void ReportEndlessConversations(const ConversationController& controller)
{
    std::vector<const Conversation*> lines;
    std::vector<TString> names;
    for (const auto& [name, line] : controller.mConversations)
    {
        names.push_back(name);
        lines.push_back(line.get());
    }
    const auto name = [&](size_t i) -> const TString& { return names[i]; };
    const std::vector<size_t> next = NextIndices(
        lines.size(), name, [&](size_t i) -> const TString& { return lines[i]->mNext; });
    for (const std::vector<size_t>& cycle : Cycles(next))
        Say(TString::Format("Conversation '%s' leads back to itself through its next "
                            "conversations (%s); it ends where it comes round again",
                            names[cycle.front()].c_str(), Round(cycle, name).c_str()));
}

// Each find counts one part, whichever it gives: two finds of one part count an object of several
// parts whole with another part never found (one of a single part is whole at either find).
void ReportPartsGivenTwice(const std::vector<std::shared_ptr<GameplayScene>>& scenes,
                           const std::vector<std::shared_ptr<GameplayInventory>>& inventory)
{
    for (const std::shared_ptr<GameplayInventory>& object : inventory)
    {
        if (object->GetPartCount() < 2)
            continue;
        std::vector<std::vector<std::string>> givers(object->GetPartCount() + size_t{1});
        for (const std::shared_ptr<GameplayScene>& scene : scenes)
            for (GameplayItem* item : scene->GetItems())
                if (item->GetInventoryName() == object->GetName())
                    for (const int32_t part : item->GetInventoryParts())
                        if (part >= 1 && part <= object->GetPartCount())
                            givers[static_cast<size_t>(part)].push_back(
                                Who("item", item->GetName()));
        for (size_t part = 1; part < givers.size(); ++part)
        {
            if (givers[part].size() < 2)
                continue;
            std::string by;
            for (const std::string& giver : givers[part])
                by += (by.empty() ? "" : ", ") + giver;
            Say(TString::Format("Part %zu of inventory object '%s' is given %zu times (by %s): "
                                "each find counts a part, so the object counts whole with a part "
                                "never found",
                                part, object->GetName().c_str(), givers[part].size(), by.c_str()));
        }
    }
}

// The time keys of an animation's motions, in milliseconds.
const char* const kTimeKeys[] = {"duration", "initialdelay", "delay",        "mindelay",
                                 "maxdelay", "forwarddelay", "backwarddelay"};

// A time past what the clock's count holds is taken as its longest wait, about 24 days: whatever
// waits for it never ends. One that is no number counts as none.
void ReportWaitsPastTheLongest(const std::vector<std::shared_ptr<GameplayAnimation>>& animations)
{
    const auto check = [](const GameplayAnimation& animation, const std::string& what, double ms)
    {
        if (std::isnan(ms))
            Say(TString::Format("Animation '%s' has a %s that is not a number: it is taken as 0",
                                animation.GetName().c_str(), what.c_str()));
        else if (ms >= static_cast<double>(INT32_MAX))
            Say(TString::Format("Animation '%s' has a %s of %g ms: it is taken as the longest "
                                "wait, %d ms (about 24 days), which nothing waits out",
                                animation.GetName().c_str(), what.c_str(), ms, INT32_MAX));
    };
    for (const std::shared_ptr<GameplayAnimation>& animation : animations)
    {
        check(*animation, "\"framespeed\"", animation->GetWrittenFrameSpeed());
        for (size_t kind = 0; kind < GameplayAnimation::kMotionCount; ++kind)
            if (const TLuaTable* motion = animation->GetMotion(kind))
                for (const char* key : kTimeKeys)
                    check(*animation,
                          std::string(GameplayAnimation::GetMotionKey(kind)) + " \"" + key + "\"",
                          motion->GetNumber(key, 0));
    }
}

} // namespace

void Gameplay::ReportLackingNames(const TString& initialEvent)
{
    NameCheck events("event"), scenes("scene"), actions("scene or action"), areas("area"),
        layers("layer"), particles("particle effect"), sounds("scene sound"),
        objects("inventory object"), animations("animation"), conversations("conversation");
    for (const std::shared_ptr<GameplayEvent>& event : mEvents)
        events.Add(event->GetName());
    for (const std::shared_ptr<GameplayInventory>& object : mInventory)
        objects.Add(object->GetName());
    for (const std::shared_ptr<GameplayAnimation>& animation : mAnimations)
        animations.Add(animation->GetName());
    // Events and animations start only the scenes' sounds: a location sound of the name is never
    // found by them.
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
    {
        scenes.Add(scene->GetName());
        actions.Add(scene->GetName());
        for (GameplayArea* area : scene->GetAreas())
            areas.Add(area->GetName());
        for (GameplayLayer* layer : scene->GetLayers())
            layers.Add(layer->GetName());
        for (GameplayParticle* particle : scene->GetParticles())
            particles.Add(particle->GetName());
        for (const std::shared_ptr<GameplaySound>& sound : scene->GetSounds())
            sounds.Add(sound->GetName());
    }
    // The conversations are known only to their controller, which is asked.
    auto conversation = [&](const TString& name, const std::string& referrer)
    {
        if (name.Length() > 0 &&
            (mConversations == nullptr || !mConversations->HasConversation(name)))
            conversations.Refer(name, referrer);
    };

    actions.Add(TString(kEndsTheLocation));
    events.Refer(initialEvent, "the location's \"initial_event\"");
    for (const auto& [group, event] : mGroupEvents)
        events.Refer(event, Who("area group", group));
    for (const std::shared_ptr<GameplayEvent>& event : mEvents)
    {
        const std::string who = Who("event", event->GetName());
        for (const auto* list : {&event->GetAreasToActivate(), &event->GetAreasToMakeVisible(),
                                 &event->GetAreasToComplete(), &event->GetAreasToIncomplete(),
                                 &event->GetAreasToDeactivate()})
            areas.Refer(*list, who);
        layers.Refer(event->GetLayersToActivate(), who);
        layers.Refer(event->GetLayersToDeactivate(), who);
        particles.Refer(event->GetParticlesToActivate(), who);
        particles.Refer(event->GetParticlesToDeactivate(), who);
        sounds.Refer(event->GetSoundsToActivate(), who);
        sounds.Refer(event->GetSoundsToDeactivate(), who);
        for (const auto* list :
             {&event->GetInventoryToActivate(), &event->GetInventoryToAddToScene(),
              &event->GetInventoryToDeactivate(), &event->GetInventoryToMakeInvisible()})
            objects.Refer(*list, who);
        objects.Refer(event->GetInventoryToEquip(), who);
        animations.Refer(event->GetAnimations(), who);
        conversation(event->GetDialog(), who);
        actions.Refer(event->GetAction(), who);
        events.Refer(event->GetNextEvent(), who);
        events.Refer(event->GetEventToActivateOnClick(), who);
    }
    for (const std::shared_ptr<GameplayInventory>& object : mInventory)
    {
        const std::string who = Who("inventory object", object->GetName());
        events.Refer(object->GetEventName(), who);
        scenes.Refer(object->GetHomeScene(), who);
    }
    for (const std::shared_ptr<GameplayAnimation>& animation : mAnimations)
    {
        const std::string who = Who("animation", animation->GetName());
        layers.Refer(animation->GetLayer(), who);
        animations.Refer(animation->GetNextAnimations(), who);
        sounds.Refer(animation->GetActivateSounds(), who);
        sounds.Refer(animation->GetDeactivateSounds(), who);
    }
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
    {
        conversation(scene->GetDialog(), Who("scene", scene->GetName()));
        events.Refer(scene->GetCompletionEvent(), Who("puzzle scene", scene->GetName()));
        for (GameplayItem* item : scene->GetItems())
            objects.Refer(item->GetInventoryName(), Who("item", item->GetName()));
        for (GameplayArea* area : scene->GetAreas())
        {
            const std::string who = Who("area", area->GetName());
            for (const std::shared_ptr<GameplayArea::ClickEvent>& click : area->GetClickEvents())
            {
                events.Refer(click->eventName, who);
                if (!(click->inventory == TString("default")))
                    objects.Refer(click->inventory, who);
            }
            conversation(area->GetClickDialog(), who);
            objects.Refer(area->GetHoldableInventory(), who);
            objects.Refer(area->GetCorrectInventoryToHold(), who);
        }
    }
    if (mConversations != nullptr)
        for (const auto& [name, line] : mConversations->mConversations)
            conversation(line->mNext, Who("conversation", name));
    for (const NameCheck* check : {&events, &scenes, &actions, &areas, &layers, &particles, &sounds,
                                   &objects, &animations, &conversations})
        check->Report();
    ReportShapesThatNeverEnd();
}

void Gameplay::ReportShapesThatNeverEnd()
{
    for (const std::shared_ptr<GameplayInventory>& object : mInventory)
    {
        const int32_t written = object->GetWrittenPartCount();
        if (written < 1)
            Say(TString::Format("Inventory object '%s' has \"partcount\" %d; it needs at least 1 "
                                "part",
                                object->GetName().c_str(), written));
        else if (object->GetPartCount() == 0)
            Say(TString::Format("Inventory object '%s' has \"partcount\" %d, 0 in the byte it is "
                                "kept in; it needs at least 1 part",
                                object->GetName().c_str(), written));
    }
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        for (GameplayItem* item : scene->GetItems())
        {
            const GameplayInventory* object = FindInventory(item->GetInventoryName());
            if (object == nullptr)
                continue;
            const std::vector<int32_t>& parts = item->GetInventoryParts();
            if (parts.empty())
                Say(TString::Format("Item '%s' has an empty \"inventoryparts\": it gives inventory "
                                    "object '%s' no part",
                                    item->GetName().c_str(), object->GetName().c_str()));
            for (const int32_t part : parts)
                if (part < 1 || part > object->GetPartCount())
                    Say(TString::Format("Item '%s' gives part %d of inventory object '%s', which "
                                        "has %d parts",
                                        item->GetName().c_str(), part, object->GetName().c_str(),
                                        static_cast<int>(object->GetPartCount())));
        }
    ReportPartsGivenTwice(mScenes, mInventory);
    ReportWhatNoPlayerReaches();
    ReportWaitsPastTheLongest(mAnimations);
    ReportEndlessEventChains();
    if (mConversations != nullptr)
        ReportEndlessConversations(*mConversations);
    ReportWhatTheRecordCannotHold();
}

// What the player can never reach, so the location can never end: an object no event hands out
// (its items never show, no hand holds it), an item off the picture or under the HUD's bar, and
// one of two items of one name (entities are found by name).
void Gameplay::ReportWhatNoPlayerReaches()
{
    std::unordered_set<std::string> handed;
    for (const std::shared_ptr<GameplayEvent>& event : mEvents)
    {
        // Said first: an object such a text names is handed out by nothing, which follows.
        for (const auto& [key, text] : event->GetListsGivenAsText())
            Say(TString::Format("Event '%s' has \"%s\" = '%s', a text where a list is read: "
                                "it is never read (a list of one is { '%s' })",
                                event->GetName().c_str(), key.c_str(), text.c_str(), text.c_str()));
        for (const auto* list :
             {&event->GetInventoryToActivate(), &event->GetInventoryToAddToScene()})
            for (const TString& name : *list)
                handed.insert(std::string(View(name)));
        handed.insert(std::string(View(event->GetInventoryToEquip())));
    }
    for (const std::shared_ptr<GameplayInventory>& object : mInventory)
        if (handed.count(std::string(View(object->GetName()))) == 0)
            Say(TString::Format("Inventory object '%s' is handed out by no event "
                                "(\"inventorytoactivate\", \"inventorytoaddtoscene\" or "
                                "\"inventorytoequip\"): its items never show and no hand holds "
                                "it",
                                object->GetName().c_str()));
    // The picture is the window's; the HUD's bar lies over its bottom.
    const TRect& screen = GetRect();
    const int32_t width = screen.right - screen.left;
    const int32_t height = screen.bottom - screen.top;
    const int32_t hudTop = mHud != nullptr ? mHud->GetRect().top : height;
    std::unordered_map<std::string, std::string> named;
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        for (GameplayItem* item : scene->GetItems())
        {
            const std::string where = Who("scene", scene->GetName());
            const auto [first, added] =
                named.try_emplace(std::string(View(item->GetName())), where);
            if (!added)
                Say(TString::Format("Item '%s' is named twice (in %s and %s): items are found by "
                                    "name, so one of them can never be found",
                                    item->GetName().c_str(), first->second.c_str(), where.c_str()));
            const float x = item->GetTransform().GetX();
            const float y = item->GetTransform().GetY();
            if (x < 0 || y < 0 || x >= static_cast<float>(width) || y >= static_cast<float>(height))
                Say(TString::Format("Item '%s' lies at (%g, %g), off the picture (%d x %d): it "
                                    "can never be found",
                                    item->GetName().c_str(), x, y, width, height));
            else if (y >= static_cast<float>(hudTop))
                Say(TString::Format("Item '%s' lies at (%g, %g), under the HUD's bar (y %d to "
                                    "%d): it can never be found",
                                    item->GetName().c_str(), x, y, hudTop, height));
        }
}

// Each event has at most one next event, so the chains form paths that may end in a cycle: every
// cycle is said once, from the first of its events in the location's list. A cycle through an
// event that ends the location is left alone.
void Gameplay::ReportEndlessEventChains()
{
    const auto name = [this](size_t i) -> const TString& { return mEvents[i]->GetName(); };
    const std::vector<size_t> next =
        NextIndices(mEvents.size(), name,
                    [this](size_t i) -> const TString& { return mEvents[i]->GetNextEvent(); });
    for (const std::vector<size_t>& cycle : Cycles(next))
    {
        if (std::any_of(cycle.begin(), cycle.end(),
                        [this](size_t i)
                        { return mEvents[i]->GetAction() == TString(kEndsTheLocation); }))
            continue;
        Say(TString::Format("Event '%s' leads back to itself through its next events (%s); the "
                            "chain never ends",
                            name(cycle.front()).c_str(), Round(cycle, name).c_str()));
    }
}

// Past a byte's count the record is never built, and the player's progress goes with every close;
// a name past it is cut short and no longer found when the record is read back; a count of finds
// past it reads back wrapped, and the location no longer ends.
void Gameplay::ReportWhatTheRecordCannotHold()
{
    constexpr size_t kMost = kMostARecordByteHolds;
    const auto tooMany =
        [](const std::string& whose, size_t count, const char* what, const char* when)
    {
        if (count > kMost)
            Say(TString::Format("%s has %zu %s; %s record holds at most %zu, so it is not "
                                "stored%s and a close loses the player's progress",
                                whose.c_str(), count, what,
                                whose == "The location" ? "its" : "the location's", kMost, when));
    };
    tooMany("The location", mScenes.size(), "scenes", "");
    tooMany("The location", mEvents.size(), "events", "");
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        tooMany("Scene '" + std::string(View(scene->GetName())) + "'", scene->GetAreas().size(),
                "areas", " while the scene is shown");
    // Each animation is kept once however often it starts.
    tooMany("The location", mAnimations.size(), "animations", " once every one has started");
    size_t items = 0;
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        items += scene->GetItems().size();
    if (items > kMost)
        Say(TString::Format("The location has %zu items; its record counts them in a byte, which "
                            "holds at most %zu, so after a close the finds are miscounted and the "
                            "location never ends",
                            items, kMost));
    const auto tooLong = [](const char* kind, const TString& name, const char* when)
    {
        if (static_cast<size_t>(name.Length()) > kMost)
            Say(TString::Format("%s '%s' has a name of %d bytes; the location's record keeps at "
                                "most %zu, so %s",
                                kind, name.c_str(), name.Length(), kMost, when));
    };
    for (const std::shared_ptr<GameplayInventory>& object : mInventory)
        tooLong("Inventory object", object->GetName(),
                "a record with it held by an area is refused when read back");
    if (mConversations != nullptr)
        for (const auto& [name, line] : mConversations->mConversations)
            tooLong("Conversation", name,
                    "the record is not stored while it waits to be shown and a close loses the "
                    "player's progress");
}
