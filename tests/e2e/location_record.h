// What the end-to-end tests read of a preferences file through `prefsdump`: its slots, and a
// location's record "gamedata" of the sample game (its HUD, its inventory objects and its game
// block).
#pragma once

#include <cstdint>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace e2etest
{

// A preferences file as `prefsdump` prints it: each slot's keys and their bytes.
using Slot = std::map<std::string, std::vector<uint8_t>>;
inline std::vector<Slot> ParseDump(const std::string& dump)
{
    std::vector<Slot> slots;
    static const std::regex line("  ([^ ]+) = (?:\"(.*)\"|hex((?: [0-9a-f]{2})*))");
    size_t start = 0;
    while (start < dump.size())
    {
        size_t end = dump.find('\n', start);
        end = end == std::string::npos ? dump.size() : end;
        const std::string text = dump.substr(start, end - start);
        start = end + 1;
        std::smatch match;
        if (text.starts_with("USER "))
            slots.emplace_back();
        else if (text == "another install")
            break;
        else if (!slots.empty() && std::regex_match(text, match, line))
        {
            std::vector<uint8_t>& value = slots.back()[match[1].str()];
            if (match[2].matched)
            {
                value.assign(match[2].first, match[2].second);
                value.push_back(0);
            }
            for (size_t at = 1; match[3].matched && at < match[3].str().size(); at += 3)
                value.push_back(
                    static_cast<uint8_t>(std::stoul(match[3].str().substr(at, 2), nullptr, 16)));
        }
    }
    return slots;
}

// One inventory object's 11 bytes in the location's record.
struct ObjectRecord
{
    int mFlags = 0;
    int mParts = 0;
    int mFound = 0;
};
// Its flags: shown, used, held; in the scene rather than the strip.
constexpr int kShown = 0x01, kUsed = 0x02, kHeld = 0x04, kInScene = 0x40;

// The location's record "gamedata", most significant first: the play time, the active scene, the
// pending event and the last area; the game's HUD (Lirae's and Thessalor's tracker masks, the
// progress's maximum and value); the inventory objects in the location's order; the scenes'
// blocks; and at the end the game's block: the character used last and the journal's goals.
struct LocationRecord
{
    bool mValid = false;
    uint32_t mPlayTime = 0;
    int mActiveScene = -1;
    int mLiraeMask = -1, mThessalorMask = -1, mProgressMax = -1, mProgress = -1;
    std::vector<ObjectRecord> mObjects;
    int mCharacter = -1;
    std::vector<std::string> mGoals;
};

// `objects` is the location's count of inventory objects. The game's block is found from the end:
// the shortest tail that reads whole as one, after the base's pending conversation (a record
// built at a calm point has none; one a close built may keep the conversation waiting for the
// player).
inline LocationRecord ReadLocation(const std::vector<uint8_t>& bytes, size_t objects)
{
    LocationRecord record;
    const size_t head = 7 + 4 + 11 * objects;
    if (bytes.size() < head + 3)
        return record;
    record.mPlayTime =
        uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    record.mActiveScene = bytes[4];
    record.mLiraeMask = bytes[7];
    record.mThessalorMask = bytes[8];
    record.mProgressMax = bytes[9];
    record.mProgress = bytes[10];
    for (size_t i = 0; i < objects; ++i)
        record.mObjects.push_back({bytes[11 + 11 * i], bytes[12 + 11 * i], bytes[13 + 11 * i]});
    for (size_t at = bytes.size() - 2; at > head; --at)
    {
        std::vector<std::string> goals;
        size_t next = at + 2;
        for (size_t g = 0; g < bytes[at + 1] && next < bytes.size(); ++g)
        {
            const size_t length = bytes[next];
            if (bytes.size() - next - 1 < length)
            {
                next = bytes.size() + 1;
                break;
            }
            goals.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(next + 1),
                               bytes.begin() + static_cast<std::ptrdiff_t>(next + 1 + length));
            next += 1 + length;
        }
        // Before the game's block, the base's pending conversation: none (a 0), or its name
        // after its length (a close while a conversation waits for the player keeps it).
        bool afterConversation = bytes[at - 1] == 0;
        for (size_t length = 1; !afterConversation && length < 256 && length + 1 < at - head;
             ++length)
            afterConversation = bytes[at - 1 - length] == length;
        if (next == bytes.size() && goals.size() == bytes[at + 1] && afterConversation)
        {
            record.mValid = true;
            record.mCharacter = bytes[at];
            record.mGoals = goals;
            break;
        }
    }
    return record;
}

} // namespace e2etest
