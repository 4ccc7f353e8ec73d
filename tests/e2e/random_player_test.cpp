// A random player: each location of the sample game played by a seeded stream of the
// play-through's steps (now and then one left out) with random actions between them: clicks near
// the points the play-through clicks or anywhere, drags, strip objects dropped anywhere, keys and
// focus changes. Afterwards the log holds no fault line and the run ended well: the game still
// answers (Escape brings up the quit question, whose "Yes" ends the program) and the location's
// record keeps every object the player had (held, in the strip, in the scene, or used); or the
// player completed the location (its record is cleared); or left it through the pause dialog's
// "Main menu" (its record kept as above). A development entry ends the program when its location
// closes either way. A failure names its seed; MURKWELL_RANDOM_SEED=<n> plays that seed again (or
// another one).
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "e2e/location_record.h"
#include "e2e/program_test_support.h"
#include "e2e/random_run.h"

namespace
{
using namespace e2etest;

struct RandomLocation
{
    const char* mName; // its development entry, scripts/dev/<name>.lua
    const char* mFrom; // the play-through's sections whose clicks are its points
    const char* mTo;   //
    size_t mObjects;   // its inventory objects
    uint32_t mSeed;    // the seed `make test` plays
};

// The Gatehouse's seed drops the lamp glass on an area that has only a plain-click event.
constexpr RandomLocation kGatehouse{"gatehouse", "gatehouse", "journey", 4, 75};
constexpr RandomLocation kObservatory{"observatory", "observatory", "crypt", 2, 12};
constexpr RandomLocation kCrypt{"crypt", "crypt", "end", 2, 13};

// Random actions a run plays besides the play-through's steps: under a minute of the test's time
// under the sanitizers.
constexpr int kActions = 30;
// Near() among the strip's points.
constexpr bool kStrip = true;
// The longest wait after a play-through's step, in frames.
constexpr int kLongestWait = 100;

struct Point
{
    int x;
    int y;
};

// The play-through's section as steps, each up to a click and the wait after it (its awaits and
// shots left out: a random player need not get there); and the points it clicks.
struct Walk
{
    std::vector<std::string> mSteps;
    std::vector<Point> mPoints;
};

Walk PlayThrough(const RandomLocation& location)
{
    Walk walk;
    const std::string script = WalkthroughScript(location.mFrom, location.mTo);
    static const std::regex click("click (\\d+) (\\d+)");
    std::string step;
    size_t start = 0;
    while (start < script.size())
    {
        size_t end = script.find('\n', start);
        end = end == std::string::npos ? script.size() : end;
        const std::string line = script.substr(start, end - start);
        start = end + 1;
        if (line.starts_with("await") || line.starts_with("shot") || line.starts_with("#"))
            continue;
        const bool waits = line.starts_with("wait");
        if (!waits && step.find("\nclick ") != std::string::npos)
        {
            walk.mSteps.push_back(step);
            step.clear();
        }
        // A shorter wait than the play-through's now and then cuts an animation short: the next
        // click is then swallowed or lands on what is still moving, as a hasty player's would.
        step += "\n" +
                (waits ? "wait " + std::to_string(std::min(std::stoi(line.substr(5)), kLongestWait))
                       : line);
        std::smatch point;
        if (std::regex_match(line, point, click))
            walk.mPoints.push_back({std::stoi(point[1].str()), std::stoi(point[2].str())});
    }
    if (!step.empty())
        walk.mSteps.push_back(step);
    return walk;
}

class RandomPlayer
{
public:
    RandomPlayer(uint32_t seed, Walk walk) : mDice(seed), mWalk(std::move(walk)) {}

    // The input script: the play-through's steps in their order, each in turn taken or left out,
    // with `actions` random actions in between.
    std::string Play(int actions)
    {
        std::string script;
        size_t next = 0;
        while (actions > 0 || next < mWalk.mSteps.size())
        {
            if (next < mWalk.mSteps.size() && (actions == 0 || Between(0, 2) > 0))
            {
                if (Between(0, 9) > 0)
                    script += mWalk.mSteps[next].substr(1) + "\n";
                ++next;
                continue;
            }
            script += Action();
            --actions;
        }
        return script;
    }

private:
    int Between(int low, int high) { return mDice.Between(low, high); }
    static std::string At(const Point& p)
    {
        return std::to_string(p.x) + " " + std::to_string(p.y);
    }
    static std::string Wait(int frames) { return "wait " + std::to_string(frames) + "\n"; }
    // Anywhere but the HUD's pause button, whose dialog's "menu" would leave the location.
    Point Anywhere()
    {
        for (;;)
        {
            const Point p{Between(0, 799), Between(0, 599)};
            if (!(p.x >= 586 && p.x <= 660 && p.y >= 546))
                return p;
        }
    }
    // Near a point the play-through clicks (only those in the strip with `kStrip`).
    Point Near(int spread, bool strip = false)
    {
        std::vector<Point> points;
        for (const Point& p : mWalk.mPoints)
            if (!strip || (p.y >= 530 && p.x >= 200 && p.x <= 560))
                points.push_back(p);
        if (points.empty())
            points = mWalk.mPoints;
        const Point& p = points[size_t(Between(0, int(points.size()) - 1))];
        return {std::clamp(p.x + Between(-spread, spread), 0, 799),
                std::clamp(p.y + Between(-spread, spread), 0, 599)};
    }
    std::string ClickAt(const Point& p)
    {
        return "move " + At(p) + "\nwait 3\nclick " + At(p) + "\n" + Wait(Between(2, 40));
    }
    std::string Action()
    {
        const int kind = Between(0, 99);
        if (kind < 36)
            return ClickAt(Near(12));
        if (kind < 44)
            return ClickAt(Anywhere());
        if (kind < 68)
        {
            // An object taken from the strip (mostly where the play-through takes one) and dropped
            // near a clicked point or anywhere.
            const Point strip = Between(0, 3) > 0 ? Near(8, kStrip) : Point{Between(200, 560), 550};
            const Point drop = Between(0, 2) > 0 ? Near(40) : Anywhere();
            return "click " + At(strip) + "\n" + Wait(Between(3, 10)) + "move " + At(drop) + "\n" +
                   Wait(Between(1, 10)) + "click " + At(drop) + "\n" + Wait(Between(2, 40));
        }
        if (kind < 76)
        {
            const Point from = Between(0, 1) == 0 ? Near(20) : Anywhere();
            const Point to = Anywhere();
            return "drag " + At(from) + " " + At(to) + "\n" + Wait(Between(2, 30));
        }
        if (kind < 84)
        {
            static const int keys[] = {13, 32, 8, 9, 37, 38, 39, 40, 65, 74, 80, 112};
            return "key " + std::to_string(keys[Between(0, int(std::size(keys)) - 1)]) + "\n" +
                   Wait(Between(2, 20));
        }
        if (kind < 90)
        {
            // The pause dialog the lost focus brings, left by "Resume".
            return "focus lost\n" + Wait(Between(2, 40)) + "focus gained\n" + Wait(40) +
                   "click 400 246\n" + Wait(40);
        }
        return Wait(Between(10, 80));
    }

    Dice mDice;
    Walk mWalk;
};

class RandomPlayerTest : public ScreenProgramTest
{
protected:
    // Plays the location with its seed (or MURKWELL_RANDOM_SEED's) and checks what is left.
    void PlayRandomly(const RandomLocation& location)
    {
        const uint32_t seed = ChosenSeed(location.mSeed);
        SCOPED_TRACE(SeedNote(seed, std::string("random player in the ") + location.mName));
        const fs::path game = CopyGame("content");
        WriteFile(game / "assets/scripts/randomplayer.lua",
                  std::string("CreateNewUser('Ann')\nSaveProfile()\nReadFile('scripts/dev/") +
                      location.mName + ".lua')\n");
        RandomPlayer player(seed, PlayThrough(location));
        const std::string script = "focus gained\nwait 60\n" + player.Play(kActions) +
                                   "focus gained\nwait 40\nkey 27\nawait quitverify 600\nwait 40\n"
                                   "click 400 306\nwait 60\nclose\n";
        mErrorFile = mRoot / "errors.txt";
        const Traces traces = RunClean(game, script, "start=scripts/randomplayer.lua");
        EXPECT_EQ(ReadFile(mErrorFile).find("timed out"), std::string::npos)
            << ReadFile(mErrorFile);
        const bool complete = Completed(traces);
        // The pause dialog (a lost focus, or the HUD's pause button under a random click) offers
        // "Main menu", which a later click may choose: then nothing follows it. A pause the
        // player came back from says nothing of how the run ended.
        const bool paused = !traces.empty() && traces.back() == "pause";
        const bool answered = std::find(traces.begin(), traces.end(), "quitverify") != traces.end();
        EXPECT_TRUE(answered || complete || paused) << "the game no longer answers";
        const std::vector<Slot> slots = ParseDump(Prefs());
        ASSERT_GE(slots.size(), 2u) << Prefs();
        if (complete)
        {
            // Done: nothing of the location is kept to come back to.
            const auto kept = slots[1].find("gamedata");
            EXPECT_TRUE(kept == slots[1].end() || kept->second == std::vector<uint8_t>{0})
                << Prefs();
            return;
        }
        const LocationRecord record = ReadLocation(slots[1].at("gamedata"), location.mObjects);
        ASSERT_TRUE(record.mValid) << Prefs();
        for (size_t i = 0; i < record.mObjects.size(); ++i)
        {
            // An object the player found is somewhere, or was used.
            const ObjectRecord& object = record.mObjects[i];
            if (object.mFound > 0)
            {
                EXPECT_NE(object.mFlags & (kShown | kUsed | kHeld | kInScene), 0)
                    << "object " << i << " of the " << location.mName << " is lost";
            }
        }
    }
};

TEST_F(RandomPlayerTest, TheGatehouse)
{
    PlayRandomly(kGatehouse);
}

TEST_F(RandomPlayerTest, TheObservatory)
{
    PlayRandomly(kObservatory);
}

TEST_F(RandomPlayerTest, TheCrypt)
{
    PlayRandomly(kCrypt);
}

} // namespace
