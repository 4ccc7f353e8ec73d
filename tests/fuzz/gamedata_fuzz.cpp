// Fuzz target: the location's saved record ("gamedata") read back into a loaded location of the
// game's scene runner (two scenes, areas holding objects, items, inventory, events, a started
// animation), then a few frames and the close, which builds the record again.
#include "gameplay_fuzz_support.h"

#include <cstddef>
#include <cstdint>

namespace
{

const char kLocation[] = R"(
gameplayinstructions = {
    conversations = {}, scenes = { 'a', 'b' },
    a = { areas = { { name = 'door', image = 't/door', x = 600, y = 100, events = {} } },
          items = { { name = 'k1', image = 't/obj', inventory = 'key', inventoryparts = { 1 } },
                    { name = 'c1', image = 't/obj', inventory = 'coin', inventoryparts = { 1, 2 } },
                    { name = 'k2', image = 't/obj', inventory = 'key', inventoryparts = { 1 } } } },
    b = {
        areas = { { name = 'shelf', image = 't/door', x = 20, y = 100,
                    holdableinventory = { 'coin' }, events = {} },
                  { name = 'back', image = 't/door', x = 300, y = 100, events = {} } },
        layers = { { name = 'bg_b', image = 't/bg', x = 0, y = 0, depth = 100 } },
        items = { { name = 'k3', image = 't/obj', inventory = 'key', inventoryparts = { 1 } } },
    },
    inventory = { { name = 'key', image = 't/obj', homescene = 'b', partcount = 1 },
                  { name = 'coin', image = 't/obj', partcount = 2 },
                  { name = 'gem', image = 't/obj', homescene = 'nowhere', partcount = 1 } },
    events = { { name = 'start' }, { name = 'later' } },
    animations = { { name = 'glow', layer = 'bg_b',
                     fade = { beginopacity = 0, endopacity = 1, duration = 100 } } },
    initial_event = 'start', active_scene = 'a',
}
)";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A record's counts are single bytes: a few hundred bytes hold every field.
    if (size > 4096)
        return 0;
    gameplay_fuzz::Harness& harness = gameplay_fuzz::Harness::Get();
    harness.Run(kLocation);
    harness.Store(data, size);
    harness.Play("");
    return 0;
}
