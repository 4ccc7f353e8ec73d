// The names a location's parts refer to, checked once when it is loaded: a misspelt event, object
// or layer otherwise shows only as a location that can no longer be finished. Each name the
// location lacks is said once, with whoever refers to it, each name looked for where the one
// that uses it looks; then the shapes that can never end: a chain of next events that comes
// round again, an object of no parts, an item giving parts its object does not have. Nothing
// else changes.
#include "framework/adventure/runner/gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/scene/gameplay_animation.h"
#include "framework/adventure/scene/gameplay_event.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/conversation/conversation_controller.h"
#include "framework/core/frame_services.h"

#include <algorithm>
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

} // namespace

void Gameplay::ReportLackingNames(const TString& initialEvent)
{
    NameCheck events("event"), scenes("scene"), areas("area"), layers("layer"),
        particles("particle effect"), sounds("scene sound"), objects("inventory object"),
        animations("animation"), conversations("conversation");
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
    for (const NameCheck* check : {&events, &scenes, &areas, &layers, &particles, &sounds, &objects,
                                   &animations, &conversations})
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
    ReportEndlessEventChains();
}

// Each event has at most one next event, so the chains form paths that may end in a cycle: every
// cycle is said once, from the first of its events in the location's list. A cycle through an
// event whose action is no scene is left alone: the game may end the location by it.
void Gameplay::ReportEndlessEventChains()
{
    const size_t count = mEvents.size();
    std::unordered_map<std::string, size_t> index;
    for (size_t i = 0; i < count; ++i)
        index.try_emplace(std::string(View(mEvents[i]->GetName())), i);
    constexpr size_t kNone = SIZE_MAX;
    std::vector<size_t> next(count, kNone);
    for (size_t i = 0; i < count; ++i)
    {
        const TString& name = mEvents[i]->GetNextEvent();
        if (name.Length() == 0)
            continue;
        if (const auto found = index.find(std::string(View(name))); found != index.end())
            next[i] = found->second;
    }
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
            const auto first = std::find(path.begin(), path.end(), at);
            const std::vector<size_t> cycle(first, path.end());
            bool endsLocation = false;
            for (const size_t i : cycle)
            {
                const TString& action = mEvents[i]->GetAction();
                endsLocation =
                    endsLocation || (action.Length() > 0 && FindScene(action) == nullptr);
            }
            if (!endsLocation)
            {
                // From the first of the cycle's events in the list, round to it again.
                const size_t lead = *std::min_element(cycle.begin(), cycle.end());
                std::string chain;
                size_t i = lead;
                do
                {
                    chain += "'" + std::string(View(mEvents[i]->GetName())) + "' -> ";
                    i = next[i];
                } while (i != lead);
                chain += "'" + std::string(View(mEvents[lead]->GetName())) + "'";
                Say(TString::Format("Event '%s' leads back to itself through its next events "
                                    "(%s); the chain never ends",
                                    mEvents[lead]->GetName().c_str(), chain.c_str()));
            }
        }
        for (const size_t i : path)
            seen[i] = 2;
    }
}
