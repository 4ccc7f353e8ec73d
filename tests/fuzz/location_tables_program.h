// Location tables made from arbitrary bytes: a "gameplayinstructions" table and extra keys for the
// scene runner's window style, built only of the names the readers look for, names of the
// location's own things, numbers and nested tables (never code, so nothing a table holds can run
// for ever). Every choice reads one byte; past the input's end every choice is 0, which gives a
// small whole location, so each byte makes it stranger.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace location_tables
{

class Choices
{
public:
    Choices(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
    int Pick(int n)
    {
        if (mNext >= mSize)
            return 0;
        return mData[mNext++] % n;
    }

private:
    const uint8_t* mData;
    size_t mSize;
    size_t mNext = 0;
};

// The keys the location's readers ask for, at any level.
inline const char* Key(Choices& in)
{
    static const char* const kKeys[] = {"name",
                                        "image",
                                        "x",
                                        "y",
                                        "events",
                                        "areas",
                                        "items",
                                        "layers",
                                        "texts",
                                        "particles",
                                        "sounds",
                                        "inventory",
                                        "inventoryparts",
                                        "partcount",
                                        "homescene",
                                        "holdableinventory",
                                        "depth",
                                        "fade",
                                        "move",
                                        "rotate",
                                        "scale",
                                        "duration",
                                        "beginopacity",
                                        "endopacity",
                                        "layer",
                                        "animation",
                                        "animations",
                                        "nextanimations",
                                        "nextevent",
                                        "action",
                                        "minigame",
                                        "areastoactivate",
                                        "areastocomplete",
                                        "areastodeactivate",
                                        "areastoincomplete",
                                        "areastomakevisible",
                                        "inventorytoactivate",
                                        "inventorytoaddtoscene",
                                        "inventorytodeactivate",
                                        "inventorytoequip",
                                        "inventorytomakeinvisible",
                                        "layerstoactivate",
                                        "layerstodeactivate",
                                        "particlestoactivate",
                                        "particlestodeactivate",
                                        "soundstoactivate",
                                        "soundstodeactivate",
                                        "correctinventorytohold",
                                        "dialog",
                                        "clickdialog",
                                        "eventtoactivateonclick",
                                        "isportal",
                                        "portalcursor",
                                        "imagemask",
                                        "hasactiveframe",
                                        "hascompletedframe",
                                        "initialframe",
                                        "framespeed",
                                        "parentlayer",
                                        "parentalpha",
                                        "parentposition",
                                        "parentrotationscale",
                                        "text",
                                        "string",
                                        "once",
                                        "groupid",
                                        "groupevents",
                                        "callback",
                                        "data",
                                        "functions",
                                        "script",
                                        "actualname",
                                        "alpha",
                                        "inventoryx",
                                        "inventoryy",
                                        "canbeplacedinhud",
                                        "crossfade",
                                        "timevisible",
                                        "eventname",
                                        "event",
                                        "path",
                                        "personification",
                                        "particlesplash",
                                        "distancearc",
                                        "hilightcenterx",
                                        "hilightcentery",
                                        "hilightparticles",
                                        "showareadelay",
                                        "showareapredelay",
                                        "endwithnoparticles",
                                        "clearprevious",
                                        "cursor",
                                        "scenes",
                                        "active_scene",
                                        "initial_event",
                                        "conversations",
                                        "minigames",
                                        "tutorials"};
    return kKeys[in.Pick(static_cast<int>(sizeof kKeys / sizeof kKeys[0]))];
}

// Names of things the location has (or nearly has), and images that exist or not.
inline std::string Name(Choices& in)
{
    static const char* const kNames[] = {
        "a",     "b",      "c",    "door",      "shelf",          "back", "key",  "coin", "gem",
        "k1",    "c1",     "k2",   "start",     "later",          "glow", "bg_b", "",     "nowhere",
        "t/obj", "t/door", "t/bg", "t/missing", "scene_complete", "A",    "key "};
    return std::string("'") + kNames[in.Pick(static_cast<int>(sizeof kNames / sizeof kNames[0]))] +
           "'";
}

inline std::string Number(Choices& in)
{
    static const char* const kNumbers[] = {
        "0",   "1",   "2",    "3",          "-1",          "100", "800",    "0.5", "255",
        "256", "1e9", "-1e9", "2147483648", "-2147483649", "1/0", "-(1/0)", "0/0", "65535"};
    return kNumbers[in.Pick(static_cast<int>(sizeof kNumbers / sizeof kNumbers[0]))];
}

inline std::string Value(Choices& in, int depth);

// A table of up to `most` entries, each a listed value or a keyed one.
inline std::string Table(Choices& in, int depth, int most)
{
    std::string out = "{ ";
    const int count = in.Pick(most + 1);
    for (int i = 0; i < count; ++i)
    {
        if (in.Pick(2) == 0)
            out += Value(in, depth + 1) + ", ";
        else
            out += std::string(Key(in)) + " = " + Value(in, depth + 1) + ", ";
    }
    return out + "}";
}

inline std::string Value(Choices& in, int depth)
{
    switch (in.Pick(depth < 3 ? 6 : 4))
    {
    case 0:
    case 1:
        return Name(in);
    case 2:
        return Number(in);
    case 3:
        return in.Pick(2) ? "true" : "false";
    default:
        return Table(in, depth, 4);
    }
}

// A table with its usual keys, each left out now and then, and a few more of any kind.
inline std::string Thing(Choices& in, const char* usual, int depth)
{
    std::string out = "{ ";
    if (in.Pick(8) != 1)
        out += usual;
    const int extra = in.Pick(4);
    for (int i = 0; i < extra; ++i)
        out += std::string(Key(in)) + " = " + Value(in, depth + 1) + ", ";
    return out + "}";
}

inline std::string List(Choices& in, const char* const* usual, int kinds, int depth)
{
    std::string out = "{ ";
    const int count = in.Pick(4);
    for (int i = 0; i < count; ++i)
        out += Thing(in, usual[in.Pick(kinds)], depth + 1) + ", ";
    return out + "}";
}

inline std::string Scene(Choices& in)
{
    static const char* const kAreas[] = {
        "name = 'door', image = 't/door', x = 600, y = 100, events = {}, ",
        "name = 'shelf', image = 't/door', x = 20, y = 100, holdableinventory = { 'coin' }, "
        "events = { 'later' }, ",
        "name = 'back', image = 't/door', x = 300, y = 100, isportal = true, "
        "eventtoactivateonclick = 'later', ",
    };
    static const char* const kItems[] = {
        "name = 'k1', image = 't/obj', inventory = 'key', inventoryparts = { 1 }, ",
        "name = 'c1', image = 't/obj', inventory = 'coin', inventoryparts = { 1 }, ",
        "name = 'g1', image = 't/obj', x = 40, y = 40, ",
    };
    static const char* const kLayers[] = {
        "name = 'bg_b', image = 't/bg', x = 0, y = 0, depth = 100, ",
        "name = 'top', image = 't/obj', x = 10, y = 10, depth = 5, parentlayer = 'bg_b', ",
    };
    return std::string("{ areas = ") + List(in, kAreas, 3, 1) +
           ", items = " + List(in, kItems, 3, 1) + ", layers = " + List(in, kLayers, 2, 1) +
           (in.Pick(4) == 0 ? ", " + std::string(Key(in)) + " = " + Value(in, 1) : "") + " }";
}

// The "gameplayinstructions" table.
inline std::string Instructions(Choices& in)
{
    static const char* const kInventory[] = {
        "name = 'key', image = 't/obj', homescene = 'b', partcount = 1, ",
        "name = 'coin', image = 't/obj', partcount = 2, ",
        "name = 'gem', image = 't/obj', homescene = 'nowhere', partcount = 1, ",
    };
    static const char* const kEvents[] = {
        "name = 'start', ",
        "name = 'later', areastocomplete = { 'door' }, inventorytoactivate = { 'key' }, ",
        "name = 'glowing', animations = { 'glow' }, nextevent = 'start', ",
    };
    static const char* const kAnimations[] = {
        "name = 'glow', layer = 'bg_b', fade = { beginopacity = 0, endopacity = 1, duration = 100 "
        "}, ",
        "name = 'slide', layer = 'top', move = { x = 10, y = 0, duration = 50 }, ",
    };
    std::string out = "{ conversations = {}, scenes = { ";
    static const char* const kSceneNames[] = {"'a'", "'b'", "'c'", "'a', 'b'", "'b', 'a', 'c'"};
    out += kSceneNames[in.Pick(5)];
    out += " }, a = " + Scene(in) + ", b = " + Scene(in);
    if (in.Pick(3) == 1)
        out += ", c = " + Value(in, 1);
    out += ", inventory = " + List(in, kInventory, 3, 0);
    out += ", events = " + List(in, kEvents, 3, 0);
    out += ", animations = " + List(in, kAnimations, 2, 0);
    out += ", initial_event = " + (in.Pick(4) == 1 ? Value(in, 1) : std::string("'start'"));
    out += ", active_scene = " + (in.Pick(4) == 1 ? Value(in, 1) : std::string("'a'"));
    const int extra = in.Pick(3);
    for (int i = 0; i < extra; ++i)
        out += std::string(", ") + Key(in) + " = " + Value(in, 1);
    return out + " }";
}

// Keys added to the scene runner's window style (after its own, so they take their place).
inline std::string StyleKeys(Choices& in)
{
    static const char* const kStyleKeys[] = {"characterinfo",
                                             "playlist",
                                             "sceneinfo",
                                             "animatedcursorinfo",
                                             "locationnumber",
                                             "timescenetransition",
                                             "inventoryinfo",
                                             "crazyclick",
                                             "crazyclickcounttoactivate",
                                             "crazyclicktimetoremoveclick",
                                             "crazyclickpathduration",
                                             "entityinfo",
                                             "cursorinfo",
                                             "cursors",
                                             "soundeffects",
                                             "soundeffectsgroupid",
                                             "tooltipbasic",
                                             "tooltiphint",
                                             "tooltipinventory",
                                             "tooltipprogressbar",
                                             "tooltipcolor",
                                             "playlistinfo",
                                             "hinttooltippositionx",
                                             "loadingcursortimetoshow",
                                             "timeplaylistduringdialogfade",
                                             "volumeplaylistduringdialogfade",
                                             "tutorials",
                                             "minigames"};
    std::string out;
    const int count = in.Pick(3);
    for (int i = 0; i < count; ++i)
        out +=
            std::string(
                kStyleKeys[in.Pick(static_cast<int>(sizeof kStyleKeys / sizeof kStyleKeys[0]))]) +
            " = " + Value(in, 1) + ", ";
    return out;
}

} // namespace location_tables
