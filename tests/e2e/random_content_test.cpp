// A random content author: the development location edited by a seeded stream of the shapes
// authors write (animations sharing a layer, awaited or with an ambient pulse beside them; chains
// of next animations with joins and loops, one reaching a layer whose awaited animation still
// runs, with or without "clearprevious"; chains of next events, some looping with nothing to wait
// on; objects put in the hand, one after another, or in the scene by an event; delays; events
// switching scenes with an animation of either scene; the electronic lock's puzzle scene in the
// chain; chains of conversation lines, some coming round again or naming a line the location
// lacks), then played along its steps on one of three roads: straight through; closed a moment
// after the key's use and started again; or, as a location of the game opened from the menu,
// left for the main menu by the pause dialog and played again from there. The steps: the key
// found, taken from the strip and used on the chest, and what the shapes need after it. Every run
// ends: the location completes, or its load says why it cannot (a line in the log of a run that
// only loads it); no run ends a wait by letting it go, which is the runner's last resort. A failure
// names its run's seed and shows the edits; MURKWELL_RANDOM_SEED=<n> plays that run alone.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "e2e/random_run.h"

namespace
{
using namespace e2etest;

// The seeds `make test` plays, about a minute under the sanitizers, chosen among seeds 1 to 600
// and 1301 to 1700 (all of which end): the three roads, the lock, scene switches there and back, a
// second object put in the hand, conversations coming round again, a loop of events said at load,
// and the shapes that once locked: a lock's completion event that leaves its scene shown (18), a
// switch to the lock lost to "Main menu" (14), a flipbook awaited in the scene an event leaves
// (45), a layer switched on and off by one event (46), an end event closed while its awaited glow
// runs (956, 992); and two awaited loops on one layer from one event, each start cutting the other
// short, which once crashed the program (1347, 1589).
constexpr uint32_t kSeeds[] = {14, 18, 24, 45, 46, 51, 136, 165, 956, 992, 1347, 1589};
// Shapes a run combines.
constexpr int kMostShapes = 3;
// The latest cut, in frames after the key's use: past the end of three chained shapes (each
// animation at most 1.8 s with its delays) and the end event's own waits.
constexpr int kLatestCut = 450;
constexpr uint32_t kLateCutSalt = 0x5EED1A7E;

// The Lua a run adds to the location's instructions, before the location is made. Its helpers:
// the events by name, new layers in the first scene (switched on by the first event), new
// animations, and the end of the chain of events the chest's event leads along ("dev_done", which
// completes the location, comes after it).
const char kPrelude[] = R"(local g = gameplayinstructions
local function Event(name)
    for _, e in ipairs(g.events) do
        if e.name == name then return e end
    end
end
local function Layer(name, image, x, y)
    table.insert(g.dev_a.layers, { name = name, image = image, x = x, y = y, depth = 20 })
    table.insert(Event("dev_start").layerstoactivate, name)
end
local function Animation(t)
    table.insert(g.animations, t)
end
local function Starts(event, name)
    event.animations = event.animations or {}
    table.insert(event.animations, name)
end
-- The chain goes on after a puzzle scene at its completion event (`rc_then`).
local function Tail()
    local e = Event("dev_open")
    while true do
        local after = e.nextevent or e.rc_then
        if after == nil or after == "dev_done" then return e end
        e = Event(after)
    end
end
-- A new event at the end of the chest's chain, before "dev_done".
local function Chained(t)
    local tail = Tail()
    t.nextevent = tail.nextevent
    tail.nextevent = t.name
    table.insert(g.events, t)
    return t
end
local open = Event("dev_open")
)";

// What the key does from its find to the chest: found at (224, 354), taken from the strip at
// (390, 560) and used on the chest at (410, 300).
const char kTheKeyToTheChest[] = "click 224 354\nwait 80\nclick 390 560\nwait 5\nmove 410 300\n"
                                 "wait 5\nclick 410 300\n";
const std::string kSteps = std::string("focus gained\nwait 40\n") + kTheKeyToTheChest;
// Then the location's end, awaited for longer than the longest of the runs' chains (three shapes
// of chained animations, events and conversations, each animation at most 1.8 s with its delays);
// a run whose end does not come gives up there.
const char kEnd[] = "await \"complete 0\" 1200\nwait 30\nclose\n";
// The lock's keys pressed to open it: the four corners, then the centre.
const char kLockKeys[] = "click 320 200\nwait 70\nclick 480 360\nwait 70\nclick 480 200\nwait 70\n"
                         "click 320 360\nwait 70\nclick 400 280\nwait 70\n";
// The pause dialog over the location (a lost focus), its "Main menu", and "Play" on the menu.
const std::string kToTheMenuAndBack = "focus lost\nwait 10\nfocus gained\nwait 40\n"
                                      "click 400 358\nwait 80\n" +
                                      menupoints::ClickLine(menupoints::kPlay) + "wait 120\n";

// How a run is played.
enum class Road
{
    kStraight,
    kClosedAndStartedAgain,
    kToTheMenuAndBack,
};

// What the author wrote for one run.
struct Plan
{
    std::string mLua;
    std::vector<std::string> mShapes;
    // Steps after the chest: the puzzle's, then the rest.
    std::string mPuzzleSteps;
    std::string mAfterTheChest;
    bool mPuzzle = false;
    Road mRoad = Road::kStraight;
    // Frames from the key's use to the close or the pause.
    int mCutAfter = 0;
};

class Author
{
public:
    explicit Author(uint32_t seed) : mDice(seed), mSeed(seed) {}

    // The run's shapes and its road.
    Plan Write()
    {
        Plan plan;
        plan.mLua = kPrelude;
        const int count = mDice.Between(1, kMostShapes);
        for (int i = 0; i < count; ++i)
        {
            // A loop of events never reaches the end of the chain: it comes last.
            const int kind = mDice.Between(0, i + 1 == count ? 13 : 12);
            const std::string id = "rc" + std::to_string(i);
            std::vector<std::string>& shapes = plan.mShapes;
            switch (kind)
            {
            case 0:
                plan.mLua += TwoOnOneLayer(id, shapes);
                break;
            case 1:
                plan.mLua += GlowAndPulse(id, shapes);
                break;
            case 2:
                plan.mLua += IntoARunningOne(id, shapes);
                break;
            case 3:
                plan.mLua += Join(id, shapes);
                break;
            case 4:
                plan.mLua += AnimationLoop(id, shapes);
                break;
            case 5:
                plan.mLua += EventChain(id, shapes);
                break;
            case 6:
                plan.mLua += Equip(id, shapes, false);
                break;
            case 7:
                plan.mLua += Equip(id, shapes, true);
                break;
            case 8:
                plan.mLua += Place(id, shapes);
                break;
            case 9:
                plan.mLua += ArmedForTheNextClick(id, shapes, plan.mAfterTheChest);
                break;
            case 10:
                plan.mLua += SceneSwitch(id, shapes);
                break;
            case 11:
                // One lock a location: a second is a conversation instead.
                plan.mLua += plan.mPuzzle ? Conversation(id, shapes) : Puzzle(id, plan);
                break;
            case 12:
                plan.mLua += Conversation(id, shapes);
                break;
            default:
                plan.mLua += EventLoop(id, shapes);
                break;
            }
        }
        plan.mRoad = static_cast<Road>(mDice.Between(0, 2));
        plan.mCutAfter = mDice.Between(1, 150);
        // One run in three is cut later, over the end of the longest chains and the waits of the
        // end event itself; drawn apart, so every seed keeps the shapes and road it always had.
        Dice late(mSeed ^ kLateCutSalt);
        if (late.Chance(33))
            plan.mCutAfter = late.Between(151, kLatestCut);
        return plan;
    }

private:
    static std::string Quote(const std::string& text) { return "\"" + text + "\""; }
    // A delay key now and then, negative ones among them.
    std::string Delays()
    {
        std::string keys;
        if (mDice.Chance(30))
            keys += ", initialdelay = " + std::to_string(mDice.Between(-300, 800));
        if (mDice.Chance(20))
            keys += ", delay = " + std::to_string(mDice.Between(-300, 400));
        return keys;
    }
    std::string Duration() { return std::to_string(mDice.Between(1, 6) * 100); }
    // The motion of one kind: 0 a fade, 1 a move, 2 a flipbook played once.
    std::string Motion(int kind)
    {
        if (kind == 0)
            return "fade = { beginopacity = 0, endopacity = 1, duration = " + Duration() +
                   Delays() + " }";
        if (kind == 1)
            return "move = { endx = " + std::to_string(mDice.Between(300, 500)) +
                   ", endy = " + std::to_string(mDice.Between(200, 300)) +
                   ", duration = " + Duration() + Delays() + " }";
        return "animation = \"once\", framespeed = " + std::to_string(mDice.Between(1, 5) * 100);
    }
    // An awaited animation on `layer`.
    static std::string Awaited(const std::string& name, const std::string& layer,
                               const std::string& motion, const std::string& more = "")
    {
        return "Animation { name = " + Quote(name) + ", layer = " + Quote(layer) +
               ", callback = true, " + motion + more + " }\n";
    }
    // The glow's own layer, or one of the run's own (a door's two frames, for flipbooks).
    std::string SomeLayer(const std::string& id, std::string& lua, bool frames)
    {
        if (!frames && mDice.Chance(50))
            return "dev_a_glow";
        const std::string name = id + "_layer";
        lua += "Layer(" + Quote(name) + ", " + Quote(frames ? "dev/door" : "dev/glow") + ", " +
               std::to_string(mDice.Between(100, 600)) + ", " +
               std::to_string(mDice.Between(100, 400)) + ")\n";
        return name;
    }
    // Which event starts an animation: the chest's, or one chained after it.
    std::string Starter(const std::string& id, std::string& lua)
    {
        if (mDice.Chance(60))
            return "open";
        lua += "local " + id + "_event = Chained { name = " + Quote(id + "_event") + " }\n";
        return id + "_event";
    }

    // Two awaited animations of one kind on one layer, started by one event.
    std::string TwoOnOneLayer(const std::string& id, std::vector<std::string>& shapes)
    {
        const int kind = mDice.Between(0, 2);
        shapes.push_back(id + ": two " +
                         (kind == 0   ? "fades"
                          : kind == 1 ? "moves"
                                      : "flipbooks") +
                         " on one layer");
        std::string lua;
        const std::string layer = SomeLayer(id, lua, kind == 2);
        const std::string event = Starter(id, lua);
        for (const char* which : {"_a", "_b"})
        {
            lua += Awaited(id + which, layer, Motion(kind));
            lua += "Starts(" + event + ", " + Quote(id + which) + ")\n";
        }
        return lua;
    }

    // An ambient pulse (never ending, nobody waits for it) on the glow's layer, listed after the
    // glow, and now and then a second awaited glow there.
    std::string GlowAndPulse(const std::string& id, std::vector<std::string>& shapes)
    {
        shapes.push_back(id + ": the glow and an ambient pulse on its layer");
        std::string lua = "Animation { name = " + Quote(id + "_pulse") +
                          ", layer = \"dev_a_glow\", fade = { beginopacity = 0.4, "
                          "endopacity = 1, duration = " +
                          Duration() + ", loop = true, oscillate = true } }\n" + "Starts(open, " +
                          Quote(id + "_pulse") + ")\n";
        if (mDice.Chance(30))
            lua += Awaited(id + "_again", "dev_a_glow", Motion(0)) + "Starts(open, " +
                   Quote(id + "_again") + ")\n";
        return lua;
    }

    // A short awaited animation whose next one reaches a layer whose awaited animation still
    // runs, now and then clearing what runs there.
    std::string IntoARunningOne(const std::string& id, std::vector<std::string>& shapes)
    {
        const bool clear = mDice.Chance(50);
        shapes.push_back(id + ": a chain into a layer whose awaited animation runs" +
                         (clear ? std::string(", clearing it") : std::string()));
        std::string lua;
        const std::string first = SomeLayer(id, lua, false);
        const std::string running = first == "dev_a_glow" ? std::string("dev_a_bg") : "dev_a_glow";
        lua += Awaited(id + "_long", running,
                       "fade = { beginopacity = 0, endopacity = 1, duration = 900 }");
        lua += Awaited(id + "_short", first,
                       "fade = { beginopacity = 0, endopacity = 1, duration = 100 }",
                       ", nextanimations = { " + Quote(id + "_into") + " }");
        lua += Awaited(id + "_into", running, Motion(mDice.Between(0, 1)),
                       clear ? ", clearprevious = true" : "");
        const std::string event = Starter(id, lua);
        lua += "Starts(" + event + ", " + Quote(id + "_long") + ")\nStarts(" + event + ", " +
               Quote(id + "_short") + ")\n";
        return lua;
    }

    // Top leads to left and right, both to bottom: bottom is waited for to its end.
    std::string Join(const std::string& id, std::vector<std::string>& shapes)
    {
        shapes.push_back(id + ": a join of two awaited branches");
        std::string lua;
        const std::string layers[] = {
            SomeLayer(id + "t", lua, false), SomeLayer(id + "l", lua, false),
            SomeLayer(id + "r", lua, false), SomeLayer(id + "b", lua, false)};
        lua += Awaited(id + "_top", layers[0], Motion(0),
                       ", nextanimations = { " + Quote(id + "_left") + ", " + Quote(id + "_right") +
                           " }");
        lua += Awaited(id + "_left", layers[1], Motion(mDice.Between(0, 1)),
                       ", nextanimations = { " + Quote(id + "_bottom") + " }");
        lua += Awaited(id + "_right", layers[2], Motion(mDice.Between(0, 1)),
                       ", nextanimations = { " + Quote(id + "_bottom") + " }");
        lua += Awaited(id + "_bottom", layers[3], Motion(0));
        lua += "Starts(" + Starter(id, lua) + ", " + Quote(id + "_top") + ")\n";
        return lua;
    }

    // An awaited animation leading to itself, or two leading to each other.
    std::string AnimationLoop(const std::string& id, std::vector<std::string>& shapes)
    {
        const bool pair = mDice.Chance(50);
        shapes.push_back(id + (pair ? ": two animations leading to each other"
                                    : ": an animation leading to itself"));
        std::string lua;
        const std::string layer = SomeLayer(id, lua, false);
        const std::string back = pair ? id + "_back" : id + "_loop";
        lua += Awaited(id + "_loop", layer, Motion(mDice.Between(0, 1)),
                       ", nextanimations = { " + Quote(back) + " }");
        if (pair)
            lua += Awaited(back, layer, Motion(0),
                           ", nextanimations = { " + Quote(id + "_loop") + " }");
        lua += "Starts(" + Starter(id, lua) + ", " + Quote(id + "_loop") + ")\n";
        return lua;
    }

    // Events chained after the chest's, each with an awaited animation.
    // Now and then the first also switches a layer of its own on and off.
    std::string EventChain(const std::string& id, std::vector<std::string>& shapes)
    {
        const bool onAndOff = mDice.Chance(30);
        shapes.push_back(id + ": a chain of next events" +
                         (onAndOff ? ", the first switching a layer on and off" : ""));
        std::string lua;
        std::string flicker;
        if (onAndOff)
        {
            const std::string layer = Quote(id + "_flicker");
            lua += "table.insert(g.dev_a.layers, { name = " + layer +
                   ", image = \"dev/glow\", x = 200, y = 200, depth = 20 })\n";
            flicker =
                ", layerstoactivate = { " + layer + " }, layerstodeactivate = { " + layer + " }";
        }
        for (const char* which : {"_one", "_two"})
        {
            const std::string layer = SomeLayer(id + which, lua, false);
            lua += Awaited(id + which + "_anim", layer, Motion(mDice.Between(0, 1)));
            lua += "Chained { name = " + Quote(id + which) + ", animations = { " +
                   Quote(id + which + "_anim") + " }" + flicker + " }\n";
            flicker.clear();
        }
        return lua;
    }

    // An object put in the hand by the chest's chain: one that no item hands out, or one with a
    // part more than anything gives; now and then a second one after it, the first still held.
    // Objects only the hand can hold: the first with the first scene as its own, the second with
    // none.
    std::string Equip(const std::string& id, std::vector<std::string>& shapes, bool handOnly)
    {
        const bool partial = mDice.Chance(50);
        const bool second = mDice.Chance(40);
        shapes.push_back(
            id + ": " +
            (partial ? "an object with parts still to find" : "an object no item gives") +
            (handOnly ? " that only the hand holds" : "") +
            " put in the hand by the chest's chain" +
            (second ? ", then another while it is held" : ""));
        std::string lua;
        for (const std::string& gem : {id + "_gem", id + "_gem2"})
        {
            const bool home = !handOnly || gem == id + "_gem";
            lua += "table.insert(g.inventory, { name = " + Quote(gem) + ", image = \"dev/key\", " +
                   (home ? "homescene = \"dev_a\", " : "") +
                   (handOnly ? "canbeplacedinhud = false, " : "") +
                   "partcount = " + (partial ? "2" : "1") +
                   ", type = \"lirae\" })\nChained { name = " + Quote(gem + "_equip") +
                   ", inventorytoequip = " + Quote(gem) + " }\n";
            if (!second)
                break;
        }
        return lua;
    }

    // The key (being used on the chest), or an object put in the hand just before, put in the
    // scene by the chest's chain.
    std::string Place(const std::string& id, std::vector<std::string>& shapes)
    {
        const bool held = mDice.Chance(50);
        shapes.push_back(id + (held ? ": an object put in the hand, then in the scene"
                                    : ": the key put in the scene while it is used"));
        if (!held)
            return "Chained { name = " + Quote(id + "_place") +
                   ", inventorytoaddtoscene = { \"dev_key\" } }\n";
        const std::string gem = id + "_gem";
        return "table.insert(g.inventory, { name = " + Quote(gem) +
               ", image = \"dev/key\", homescene = \"dev_a\", partcount = 1, "
               "type = \"lirae\" })\nChained { name = " +
               Quote(id + "_equip") + ", inventorytoequip = " + Quote(gem) +
               " }\nChained { name = " + Quote(id + "_place") + ", inventorytoaddtoscene = { " +
               Quote(gem) + " } }\n";
    }

    // The end of the chain waits for the next click, which the run gives after the chest (a miss
    // on the floor).
    std::string ArmedForTheNextClick(const std::string& id, std::vector<std::string>& shapes,
                                     std::string& afterTheChest)
    {
        shapes.push_back(id + ": the end of the chain armed for the next click");
        // Clicks on the bare floor until the chain has surely ended; those that come while it
        // runs are held back with the rest.
        afterTheChest.clear();
        for (int click = 0; click < 8; ++click)
            afterTheChest += "wait 80\nmove 80 420\nwait 3\nclick 80 420\n";
        return "do\n    local tail = Tail()\n    tail.nextevent = nil\n"
               "    tail.eventtoactivateonclick = \"dev_done\"\nend\n";
    }

    // An event of the chest's chain switching to the second scene (now and then the next one
    // switching back), with an awaited animation on a layer of the scene it leaves (a flipbook
    // among them) or of the one it enters.
    std::string SceneSwitch(const std::string& id, std::vector<std::string>& shapes)
    {
        const bool back = mDice.Chance(40);
        const bool left = mDice.Chance(60);
        const int kind = mDice.Between(0, 2);
        shapes.push_back(id + ": an event switching to the second scene with an awaited " +
                         (kind == 0   ? "fade"
                          : kind == 1 ? "move"
                                      : "flipbook") +
                         " in the scene it " + (left ? "leaves" : "enters") +
                         (back ? ", the next switching back" : ""));
        std::string lua;
        const std::string layer = left ? SomeLayer(id, lua, kind == 2) : "dev_b_bg";
        lua += Awaited(id + "_anim", layer, Motion(kind));
        lua += "Chained { name = " + Quote(id + "_go") + ", action = \"dev_b\", animations = { " +
               Quote(id + "_anim") + " } }\n";
        if (back)
            lua += "Chained { name = " + Quote(id + "_back") + ", action = \"dev_a\" }\n";
        return lua;
    }

    // The chest's event leads to a switch to the electronic lock's scene, and the chain waits
    // there: the lock's completion event goes on with the rest of the chain, leading back to the
    // first scene or (as a completion may) leaving no scene. The switch comes first in the chain,
    // so the keys are pressed once what the chest's event waits for has surely ended.
    std::string Puzzle(const std::string& id, Plan& plan)
    {
        const bool stays = mDice.Chance(25);
        plan.mShapes.push_back(id + ": the chain goes on at the electronic lock's completion, " +
                               (stays ? "which leaves the lock's scene shown"
                                      : "which leads back to the first scene"));
        plan.mPuzzle = true;
        // The chest's event's waits (a join of three animations with their delays at the most)
        // and the switch's fade, then the keys.
        plan.mPuzzleSteps = std::string("wait 300\n") + kLockKeys + "wait 60\n";
        return "g.minigames = { dev_lock = \"electroniclockscene\" }\n"
               "table.insert(g.scenes, \"dev_lock\")\n"
               "g.dev_lock = { layers = { { name = \"dev_lock_bg\", image = "
               "\"scenes/lockpanel/bg\", x = 0, y = 0, depth = 100 } } }\n"
               "table.insert(Event(\"dev_start\").layerstoactivate, \"dev_lock_bg\")\n"
               "table.insert(g.events, { name = \"event_electroniclockcomplete\", " +
               std::string(stays ? "" : "action = \"dev_a\", ") +
               "nextevent = open.nextevent })\n"
               "table.insert(g.events, { name = " +
               Quote(id + "_lock") +
               ", action = \"dev_lock\", rc_then = \"event_electroniclockcomplete\" })\n"
               "open.nextevent = " +
               Quote(id + "_lock") + "\n";
    }

    // An event of the chest's chain with a line of the guide leading on through one to three
    // lines: now and then round to an earlier one, or to a line the location lacks.
    std::string Conversation(const std::string& id, std::vector<std::string>& shapes)
    {
        const int lines = mDice.Between(1, 3);
        const int end = mDice.Between(0, 9);
        const bool round = end < 3;
        const bool lacking = end == 3;
        shapes.push_back(id + ": a line of " + std::to_string(lines) + " in the chest's chain" +
                         (round     ? ", coming round again"
                          : lacking ? ", naming a line the location lacks"
                                    : ""));
        std::string lua;
        for (int line = 1; line <= lines; ++line)
        {
            const std::string next = line < lines ? id + "_line" + std::to_string(line + 1)
                                     : round
                                         ? id + "_line" + std::to_string(mDice.Between(1, lines))
                                     : lacking ? id + "_lien"
                                               : "";
            lua += "g.conversations." + id + "_line" + std::to_string(line) +
                   " = { charactertospeak = \"guide\", text = \"dev_hello\", "
                   "characterstoshow = { \"guide\" }" +
                   (next.empty() ? "" : ", nextconversation = " + Quote(next)) + " }\n";
        }
        return lua + "Chained { name = " + Quote(id + "_talk") +
               ", dialog = " + Quote(id + "_line1") + " }\n";
    }

    // The chain runs into a loop of events with nothing in them to wait on: it never reaches the
    // end, which the load says.
    std::string EventLoop(const std::string& id, std::vector<std::string>& shapes)
    {
        const bool pair = mDice.Chance(50);
        shapes.push_back(id +
                         (pair ? ": two events naming each other" : ": an event naming itself"));
        const std::string first = id + "_ping";
        const std::string second = pair ? id + "_pong" : first;
        std::string lua = "do\n    local tail = Tail()\n    tail.nextevent = " + Quote(first) +
                          "\n    tail.eventtoactivateonclick = nil\nend\n"
                          "table.insert(g.events, { name = " +
                          Quote(first) + ", nextevent = " + Quote(second) + " })\n";
        if (pair)
            lua += "table.insert(g.events, { name = " + Quote(second) +
                   ", nextevent = " + Quote(first) + " })\n";
        return lua;
    }

    Dice mDice;
    uint32_t mSeed;
};

class RandomContentTest : public ScreenProgramTest
{
protected:
    // One run: the location edited with the seed's shapes, played along its steps on its road.
    void PlayAuthored(uint32_t seed)
    {
        SCOPED_TRACE(SeedNote(seed, "random content"));
        const Plan plan = Author(seed).Write();
        static const char* const kRoads[] = {"straight", "closed and started again",
                                             "to the menu and back"};
        std::string said = std::string("\nthe road: ") + kRoads[static_cast<int>(plan.mRoad)] +
                           ", cut " + std::to_string(plan.mCutAfter) + " frames after the use";
        for (const std::string& shape : plan.mShapes)
            said += "\n  " + shape;
        SCOPED_TRACE("the shapes:" + said + "\nthe location's added lines:\n" + plan.mLua);
        // A run played alone shows what it plays.
        if (SeedIsChosen())
            std::cout << "the shapes:" << said << std::endl;
        // One copy of the content for the runs; each writes its own location into it, and plays
        // on a data folder of its own.
        const fs::path game = mRoot / "content";
        if (!fs::exists(game))
        {
            CopyGame("content");
            // The dev location as the game's first location, for the road through the menu; a
            // player for the road through a close; the lock's hands among the cursors.
            const fs::path rules = game / "assets/scripts/game.lua";
            std::string text = ReadFile(rules);
            const std::string first = "[0] = \"scripts/locations/gatehouse.lua\"";
            ASSERT_NE(text.find(first), std::string::npos);
            text.replace(text.find(first), first.size(), "[0] = \"scripts/dev/location.lua\"");
            WriteFile(rules, text);
            WriteFile(game / "assets/scripts/devplayer.lua",
                      "if GetNumUsers() == 0 then\n    CreateNewUser('Ann')\n    SaveProfile()\n"
                      "end\nReadFile('scripts/dev/location.lua')\n");
        }
        std::error_code ignored;
        fs::remove_all(mRoot / "data", ignored);
        const fs::path location = "assets/scripts/dev/location.lua";
        std::string text = ReadFile(mRepository / location);
        for (const auto& [from, to] :
             {std::pair<std::string, std::string>{"MakeDialog {", plan.mLua + "\nMakeDialog {"},
              {"Cursor(\"dev_loading\"),",
               "Cursor(\"dev_loading\"), Cursor(\"handopen\"), Cursor(\"handclosed\"),"},
              {"dev_a = {}, dev_b = {} }", "dev_a = {}, dev_b = {}, dev_lock = {} }"}})
        {
            const size_t at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            text.replace(at, from.size(), to);
        }
        WriteFile(game / location, text);
        // A run whose end does not come says so on standard error: kept apart.
        mErrorFile = mRoot / "errors.txt";
        const std::string rest = plan.mPuzzleSteps + plan.mAfterTheChest + kEnd;
        const std::string cut = "wait " + std::to_string(plan.mCutAfter) + "\n";
        bool completed = false;
        switch (plan.mRoad)
        {
        case Road::kStraight:
            completed = Play(game, kSteps + rest, "start=scripts/dev/location.lua");
            break;
        case Road::kClosedAndStartedAgain:
            completed = Play(game, kSteps + cut + "close\n", "start=scripts/devplayer.lua") ||
                        Play(game, "focus gained\nwait 40\n" + rest, "start=scripts/devplayer.lua");
            break;
        case Road::kToTheMenuAndBack:
            // The game's own start for a new player, from the menu.
            completed = Play(game, kNewPlayer + kTheKeyToTheChest + cut + kToTheMenuAndBack + rest,
                             "start=scripts/mainmenu.lua");
            break;
        }
        if (completed)
            return;
        // Not completed: only a location whose load said why may stay unfinished.
        RunOk(game, "focus gained\nwait 40\nclose\n", "start=scripts/dev/location.lua");
        const std::string log = ReadFile(LogFile());
        EXPECT_GT(LoggedLines("ERROR:"), 0u)
            << "the location neither completed nor said at its load why it cannot:\n"
            << log;
    }
    // One program run; whether the location completed in it. No script error, no fault of the
    // program's own, no wait let go; the content's lines are judged by the caller.
    bool Play(const fs::path& game, const std::string& script, const std::string& options)
    {
        const Traces traces = RunOk(game, script, options);
        std::string printed;
        for (const std::string& line : traces)
            printed += " " + line;
        if (SeedIsChosen())
            std::cout << "the run with " << options << " printed" << printed << std::endl;
        const std::string log = ReadFile(LogFile());
        std::vector<const char*> faults(std::begin(kScriptFaults), std::end(kScriptFaults));
        faults.push_back(kLetGoLine);
        for (const char* fault : faults)
            EXPECT_EQ(log.find(fault), std::string::npos)
                << fault << " in the run with " << options << ", which printed" << printed << ":\n"
                << log;
        return Completed(traces);
    }
};

// Every run either ends its location or, at load, says why it cannot: a location never waits in
// silence, nor ends a wait only by letting it go.
TEST_F(RandomContentTest, EveryEditedLocationEndsOrSaysWhyAtLoad)
{
    if (SeedIsChosen())
    {
        PlayAuthored(ChosenSeed(0));
        return;
    }
    std::cout << "random content: " << std::size(kSeeds)
              << " seeds (MURKWELL_RANDOM_SEED=<n> plays one alone)" << std::endl;
    for (const uint32_t seed : kSeeds)
        PlayAuthored(seed);
}

} // namespace
