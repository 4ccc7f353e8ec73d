// The machine report: an XML description of this computer (system, display and sound device)
// written once into the user's folder, where the metrics recorder's summary reads it back.
#pragma once

#include <cstdint>
#include <string>

namespace sys
{

// What the layers above know of the display and the report cannot ask the system for.
struct MachineReportExtras
{
    uint64_t mVideoMemoryBytes = 0; // the display's memory budget; 0 leaves it out
};

// Writes the report to `path` through a temporary name, so a reader never sees half a document.
// Facts that cannot be read are left out. False (nothing left behind) when it cannot be written.
bool WriteMachineReport(const std::string& path, const MachineReportExtras& extras = {});

// The document WriteMachineReport writes.
std::string MakeMachineReport(const MachineReportExtras& extras = {});

// The folder below which "/proc" and "/etc" are read; "" is the real root. Tests point it at a tree
// of their own.
void SetMachineReportRoot(const std::string& root);

} // namespace sys
