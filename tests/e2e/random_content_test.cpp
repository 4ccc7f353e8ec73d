// A random content author: the development location edited by a seeded stream of the shapes
// authors write (animations sharing a layer, awaited or with an ambient pulse beside them; chains
// of next animations with joins and loops, one reaching a layer whose awaited animation still
// runs, with or without "clearprevious"; chains of next events, some looping with nothing to wait
// on; objects put in the hand or in the scene by an event; delays), then played along its steps:
// the key found, taken from the strip and used on the chest. Every run ends: the location
// completes, or its load says why it cannot (a line in the log of a run that only loads it). A
// failure names its run's seed and shows the edits; MURKWELL_RANDOM_SEED=<n> plays that run alone.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "e2e/random_run.h"

namespace
{
using namespace e2etest;

// The seeds `make test` plays: kRuns runs from kFirstSeed on, about a minute under the sanitizers.
constexpr uint32_t kFirstSeed = 1;
constexpr int kRuns = 8;
// Shapes a run combines.
constexpr int kMostShapes = 3;

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
local function Tail()
    local e = Event("dev_open")
    while e.nextevent ~= nil and e.nextevent ~= "dev_done" do e = Event(e.nextevent) end
    return e
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
const char kSteps[] = "focus gained\nwait 40\nclick 224 354\nwait 80\nclick 390 560\nwait 5\n"
                      "move 410 300\nwait 5\nclick 410 300\n";
// Then the location's end, awaited for longer than the longest of the runs' chains (three shapes
// of chained animations and events, each animation at most 1.8 s with its delays); a run whose
// end does not come gives up there.
const char kEnd[] = "await \"complete 0\" 1200\nwait 30\nclose\n";

class Author
{
public:
    explicit Author(uint32_t seed) : mDice(seed) {}

    // The Lua of the run's shapes; `afterTheChest` gets the steps they need after the chest.
    std::string Write(std::string& afterTheChest, std::vector<std::string>& shapes)
    {
        std::string lua = kPrelude;
        const int count = mDice.Between(1, kMostShapes);
        for (int i = 0; i < count; ++i)
        {
            // A loop of events never reaches the end of the chain: it comes last.
            const int kind = mDice.Between(0, i + 1 == count ? 10 : 9);
            const std::string id = "rc" + std::to_string(i);
            switch (kind)
            {
            case 0:
                lua += TwoOnOneLayer(id, shapes);
                break;
            case 1:
                lua += GlowAndPulse(id, shapes);
                break;
            case 2:
                lua += IntoARunningOne(id, shapes);
                break;
            case 3:
                lua += Join(id, shapes);
                break;
            case 4:
                lua += AnimationLoop(id, shapes);
                break;
            case 5:
                lua += EventChain(id, shapes);
                break;
            case 6:
            case 7:
                lua += Equip(id, shapes);
                break;
            case 8:
                lua += Place(id, shapes);
                break;
            case 9:
                lua += ArmedForTheNextClick(id, shapes, afterTheChest);
                break;
            default:
                lua += EventLoop(id, shapes);
                break;
            }
        }
        return lua;
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
    std::string EventChain(const std::string& id, std::vector<std::string>& shapes)
    {
        shapes.push_back(id + ": a chain of next events");
        std::string lua;
        for (const char* which : {"_one", "_two"})
        {
            const std::string layer = SomeLayer(id + which, lua, false);
            lua += Awaited(id + which + "_anim", layer, Motion(mDice.Between(0, 1)));
            lua += "Chained { name = " + Quote(id + which) + ", animations = { " +
                   Quote(id + which + "_anim") + " } }\n";
        }
        return lua;
    }

    // An object put in the hand by the chest's chain: one that no item hands out, or one with a
    // part more than anything gives.
    std::string Equip(const std::string& id, std::vector<std::string>& shapes)
    {
        const bool partial = mDice.Chance(50);
        shapes.push_back(
            id + ": " +
            (partial ? "an object with parts still to find" : "an object no item gives") +
            " put in the hand by the chest's chain");
        const std::string gem = id + "_gem";
        return "table.insert(g.inventory, { name = " + Quote(gem) +
               ", image = \"dev/key\", homescene = \"dev_a\", partcount = " +
               (partial ? "2" : "1") + " })\nChained { name = " + Quote(id + "_equip") +
               ", inventorytoequip = " + Quote(gem) + " }\n";
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
               ", image = \"dev/key\", homescene = \"dev_a\", partcount = 1 })\n"
               "Chained { name = " +
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
};

class RandomContentTest : public ScreenProgramTest
{
protected:
    // One run: the location edited with the seed's shapes, played along its steps.
    void PlayAuthored(uint32_t seed)
    {
        SCOPED_TRACE(SeedNote(seed, "random content"));
        std::string afterTheChest;
        std::vector<std::string> shapes;
        const std::string lua = Author(seed).Write(afterTheChest, shapes);
        std::string said;
        for (const std::string& shape : shapes)
            said += "\n  " + shape;
        SCOPED_TRACE("the shapes:" + said + "\nthe location's added lines:\n" + lua);
        // One copy of the content for the runs; each writes its own location into it.
        const fs::path game = mRoot / "content";
        if (!fs::exists(game))
            CopyGame("content");
        const fs::path location = "assets/scripts/dev/location.lua";
        std::string text = ReadFile(mRepository / location);
        const size_t at = text.find("MakeDialog {");
        ASSERT_NE(at, std::string::npos);
        text.insert(at, lua + "\n");
        WriteFile(game / location, text);
        // A run whose end does not come says so on standard error: kept apart.
        mErrorFile = mRoot / "errors.txt";
        const Traces traces =
            RunOk(game, kSteps + afterTheChest + kEnd, "start=scripts/dev/location.lua");
        ExpectNoFaults();
        if (Completed(traces))
            return;
        // Not completed: only a location whose load said why may stay unfinished.
        RunOk(game, "focus gained\nwait 40\nclose\n", "start=scripts/dev/location.lua");
        const std::string log = ReadFile(LogFile());
        std::string printed;
        for (const std::string& line : traces)
            printed += " " + line;
        EXPECT_GT(LoggedLines("ERROR:"), 0u) << "the location neither completed (the run printed"
                                             << printed << ") nor said at its load why it cannot:\n"
                                             << log;
    }
    // No script error, no fault of the program's own; the content's lines are judged above.
    void ExpectNoFaults()
    {
        const std::string log = ReadFile(LogFile());
        for (const char* fault :
             {"Lua Error", "Lua error", "lua_resume error", "Failed to run script"})
            EXPECT_EQ(log.find(fault), std::string::npos) << fault << " in\n" << log;
    }
};

// Every run either ends its location or, at load, says why it cannot: a location never waits in
// silence.
TEST_F(RandomContentTest, EveryEditedLocationEndsOrSaysWhyAtLoad)
{
    if (SeedIsChosen())
    {
        PlayAuthored(ChosenSeed(0));
        return;
    }
    std::cout << "random content: seeds " << kFirstSeed << " to " << kFirstSeed + kRuns - 1
              << " (MURKWELL_RANDOM_SEED=<n> plays one alone)" << std::endl;
    for (uint32_t seed = kFirstSeed; seed < kFirstSeed + kRuns; ++seed)
        PlayAuthored(seed);
}

} // namespace
