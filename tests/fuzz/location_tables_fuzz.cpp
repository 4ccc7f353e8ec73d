// Fuzz target: location tables read by the game's scene runner: a "gameplayinstructions" table
// and extra window-style keys made from the input (see location_tables_program.h), the location
// opened, a few frames run and closed.
#include "gameplay_fuzz_support.h"
#include "location_tables_program.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1024)
        return 0;
    gameplay_fuzz::Harness& harness = gameplay_fuzz::Harness::Get();
    location_tables::Choices in(data, size);
    const std::string instructions = location_tables::Instructions(in);
    const std::string style = location_tables::StyleKeys(in);
    harness.Run("gameplayinstructions = " + instructions);
    harness.Forget();
    harness.Play(style);
    harness.Run("gameplayinstructions = nil");
    return 0;
}
