// Small blocks kept for reuse under the default allocator: the reported memory is that of the
// live blocks, coroutines and tables made and collected in bulk leave nothing behind, and a host
// allocator set later gets every block back with the size it was asked for. Large array parts,
// hash parts and string-table slots, pages of their own under the default allocator, read, order
// and count as they do under a host's.
#include <gtest/gtest.h>

#include "lib_test_support.h"
#include "script/core/state.h"

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace
{

const char* const kBulk = "local made, even = 0, false\n"
                          "for i = 1, 20000 do\n"
                          "  local co = coroutine.wrap(function(a)\n"
                          "    local b = coroutine.yield(a + 1)\n"
                          "    return a + b\n"
                          "  end)\n"
                          "  made = made + co(i)\n"
                          "  even = not even\n"
                          "  if not even then made = made + co(1) end\n" // half left suspended
                          "  local v = {i, i + 1, n = i}\n"
                          "  made = made + v[1] - v[2] + v.n\n"
                          "end\n"
                          "result = made\n"
                          "collectgarbage()\n";

TEST(SmallBlocksTest, BulkCoroutinesAndTablesComeBackToTheSameCount)
{
    LibState state;
    // A first round leaves the string table and the shared buffer at their working sizes.
    ASSERT_EQ("", state.Run(kBulk));
    ASSERT_EQ("", state.Run("result = nil collectgarbage()"));
    size_t before = G(state.L)->nblocks;
    for (int round = 0; round < 3; round++)
    {
        ASSERT_EQ("", state.Run(kBulk));
        EXPECT_EQ("500040000", state.Eval("result"));
        ASSERT_EQ("", state.Run("result = nil collectgarbage()"));
        // Kept blocks are not counted: the live bytes are what they were.
        EXPECT_EQ(before, G(state.L)->nblocks) << "round " << round;
        EXPECT_GT(G(state.L)->smallfreebytes, 0u);
        EXPECT_LE(G(state.L)->smallfreebytes, size_t(1) << 20);
    }
}

// Forwards to the C library and remembers the size each live block was asked with.
struct Recorder
{
    std::map<void*, size_t> live;
    int mismatched = 0;
};

void* Record(void* ud, void* block, size_t oldsize, size_t newsize, int, int)
{
    auto* rec = static_cast<Recorder*>(ud);
    if (block != nullptr)
    {
        auto it = rec->live.find(block);
        // Blocks from before the switch are unknown here; the state still names their size.
        if (it != rec->live.end())
        {
            if (it->second != oldsize)
                rec->mismatched++;
            rec->live.erase(it);
        }
    }
    if (newsize == 0)
    {
        std::free(block);
        return nullptr;
    }
    void* result = std::realloc(block, newsize);
    if (result != nullptr)
        rec->live[result] = newsize;
    return result;
}

TEST(SmallBlocksTest, HostAllocatorSetLaterGetsExactSizesAndAllBlocksBack)
{
    Recorder rec;
    {
        LibState state;
        ASSERT_EQ("", state.Run(kBulk));
        ASSERT_GT(G(state.L)->smallfreebytes, 0u);
        lua_setallocator(state.L, Record, &rec);
        EXPECT_EQ(0u, G(state.L)->smallfreebytes);
        // Blocks of both allocators, old ones collected through the new one.
        ASSERT_EQ("", state.Run(kBulk));
        EXPECT_EQ("500040000", state.Eval("result"));
        EXPECT_FALSE(rec.live.empty());
        // At close, every block made through Record comes back through it.
    }
    EXPECT_EQ(0, rec.mismatched);
    EXPECT_TRUE(rec.live.empty());
}

// An array part grown past the size of pages of its own, shrunk within them, grown again, shrunk
// back into the heap and freed; each step checks every slot it can reach (new ones nil).
const char* const kLargeArraySteps[] = {
    "t = {} for i = 1, 40000 do t[i] = i end",
    "for i = 20001, 40000 do t[i] = nil end for i = 1, 100 do t['k' .. i] = i end",
    "for i = 20001, 50000 do t[i] = -i end",
    "for i = 10, 50000 do t[i] = nil end for i = 101, 400 do t['k' .. i] = i end",
    "t = nil collectgarbage()",
};
const char* const kLargeArrayCheck =
    "local s, n = 0, 0\n"
    "for i = 1, 70000 do local v = t and t[i] if v then s = s + v n = n + 1 end end\n"
    "local k = 0 for key, v in pairs(t or {}) do k = k + 1 end\n"
    "result = s .. ' ' .. n .. ' ' .. k\n";

// The results and the counted bytes after each of five steps, each followed by the check,
// switching to Record before step `switchAt` (none when negative).
std::vector<std::string> LargeSteps(const char* const (&steps)[5], const char* check, Recorder* rec,
                                    int switchAt)
{
    LibState state;
    std::vector<std::string> seen;
    for (int step = 0; step < 5; step++)
    {
        if (step == switchAt)
            lua_setallocator(state.L, Record, rec);
        EXPECT_EQ("", state.Run(steps[step])) << step;
        EXPECT_EQ("", state.Run(check)) << step;
        seen.push_back(state.Eval("result") + " " + std::to_string(G(state.L)->nblocks));
    }
    return seen;
}

std::vector<std::string> LargeArraySteps(Recorder* rec, int switchAt)
{
    return LargeSteps(kLargeArraySteps, kLargeArrayCheck, rec, switchAt);
}

TEST(SmallBlocksTest, LargeArrayPartsReadAndCountAsUnderAHostAllocator)
{
    Recorder fromStart;
    std::vector<std::string> host = LargeArraySteps(&fromStart, 0);
    EXPECT_EQ(0, fromStart.mismatched);
    // Nils read nil, whether the slots were never written, emptied, or cut off and grown again.
    EXPECT_EQ("800020000 40000 40000", host[0].substr(0, host[0].rfind(' ')));
    EXPECT_EQ("200010000 20000 20100", host[1].substr(0, host[1].rfind(' ')));
    EXPECT_EQ("-850005000 50000 50100", host[2].substr(0, host[2].rfind(' ')));
    EXPECT_EQ("45 9 409", host[3].substr(0, host[3].rfind(' ')));
    EXPECT_EQ(host, LargeArraySteps(nullptr, -1));
    // A host allocator set while a part is pages of its own never sees that block.
    for (int at = 1; at < 5; at++)
    {
        Recorder later;
        EXPECT_EQ(host, LargeArraySteps(&later, at)) << "switched before step " << at;
        EXPECT_EQ(0, later.mismatched);
    }
}

// A hash part grown past the size of pages of its own (with the string table's slots), emptied
// by half, then to a tenth and rebuilt back in the heap by keys that come and go, grown again and
// freed with its strings.
const char* const kLargeHashSteps[] = {
    "t = {} for i = 1, 150000 do t['k' .. i] = i end",
    "for i = 1, 150000, 2 do t['k' .. i] = nil end",
    "for i = 2, 150000, 10 do for j = i, i + 6, 2 do t['k' .. j] = nil end end\n"
    "for i = 1, 120000 do t['j' .. i] = -i t['j' .. (i - 1)] = nil end",
    "for i = 1, 300000, 3 do t[i + 0.5] = i end",
    "t = nil collectgarbage()",
};
// The sum and count of the values, and the first keys in traversal order, which the node
// placement fixes.
const char* const kLargeHashCheck = "local s, n, first = 0, 0, ''\n"
                                    "for key, v in pairs(t or {}) do\n"
                                    "  s = s + v n = n + 1\n"
                                    "  if n <= 4 then first = first .. ' ' .. key end\n"
                                    "end\n"
                                    "result = s .. ' ' .. n .. first\n";

TEST(SmallBlocksTest, LargeHashPartsReadOrderAndCountAsUnderAHostAllocator)
{
    Recorder fromStart;
    std::vector<std::string> host = LargeSteps(kLargeHashSteps, kLargeHashCheck, &fromStart, 0);
    EXPECT_EQ(0, fromStart.mismatched);
    // The order the heap-only engine gave for the same steps.
    const char* const order[] = {
        "11250075000 150000 k33187 k130094 k69609 k84555",
        "5625075000 75000 k130094 k109776 k81866 k104902",
        "1124955000 15001 k134260 k111260 k63890 k73890",
        "16124905000 115001 261622.5 196087.5 114427.5 49021.5",
        "0 0",
    };
    for (int step = 0; step < 5; step++)
        EXPECT_EQ(order[step], host[step].substr(0, host[step].rfind(' ')));
    EXPECT_EQ(host, LargeSteps(kLargeHashSteps, kLargeHashCheck, nullptr, -1));
    for (int at = 1; at < 5; at++)
    {
        Recorder later;
        EXPECT_EQ(host, LargeSteps(kLargeHashSteps, kLargeHashCheck, &later, at))
            << "switched before step " << at;
        EXPECT_EQ(0, later.mismatched);
    }
}

} // namespace
