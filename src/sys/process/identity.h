// Machine and program identity: fresh GUIDs, the first network adapter's hardware address and the
// version constants that stand in for the executable's version resource.
#pragma once

#include <cstdint>
#include <string>

namespace sys
{

// 16 fresh random bytes from the kernel, marked as a version-4 GUID in the Windows byte layout
// (Data1-Data3 little-endian, then 8 bytes).
void NewGuid(uint8_t out[16]);
// Tests fix the GUIDs: with `enabled`, NewGuid copies `guid` (16 bytes) instead of drawing.
void SetNewGuidOverride(bool enabled, const uint8_t* guid = nullptr);
// Runs repeat with GUIDs from a sequence: with `enabled`, NewGuid draws from a generator started at
// `seed` (still marked as version 4). MURKWELL_GUID_SEED=<n> turns this on at the first GUID.
void SetNewGuidSeed(bool enabled, uint64_t seed = 0);

// The hardware address of the first network adapter (by interface index, loopback and adapters
// without an address skipped), zero-padded to 8 bytes. False when there is no such adapter or more
// than 16 of them (the Windows query the machine identifier mirrors has room for 16).
bool GetFirstAdapterAddress(uint8_t out[8]);

// Tests replace the adapter query: with `enabled`, GetFirstAdapterAddress answers `present` and
// copies `address` (8 bytes) instead of asking the system.
void SetAdapterAddressOverride(bool enabled, const uint8_t* address = nullptr, bool present = true);

struct VersionInfo
{
    std::string versionText;  // "a.b.c.d", four numbers as the version resource gives them
    std::string productName;  // the product name string
    std::string internalName; // the internal name string (the build tag)
};

// The build's version constants.
const VersionInfo& GetVersionInfo();

// The operating-system version this platform reports to code that tests it: 6.1, the first
// version on which the drawn cursor moves with each frame and no cursor thread is needed.
constexpr uint32_t kOsVersionMajor = 6;
constexpr uint32_t kOsVersionMinor = 1;
struct OsVersion
{
    uint32_t major;
    uint32_t minor;
};
constexpr OsVersion GetOsVersion()
{
    return OsVersion{kOsVersionMajor, kOsVersionMinor};
}
// The version test the cursor thread is started by: versions before 6.1 need it.
constexpr bool NeedsCursorThread(OsVersion version)
{
    return !(version.major >= 6 && version.minor >= 1);
}

} // namespace sys
