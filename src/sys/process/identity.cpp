// GUIDs from getrandom(2), adapter addresses from getifaddrs(3), and the build's version constants.
#include "sys/process/identity.h"

#include "sys/build_info.h"
#include "sys/process/process.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/random.h>
#include <sys/socket.h>

namespace sys
{
namespace
{
std::mutex gOverrideMutex;
bool gOverride = false;
bool gOverridePresent = false;
uint8_t gOverrideAddress[8] = {};

void FillRandom(uint8_t* out, size_t size)
{
    size_t filled = 0;
    while (filled < size)
    {
        ssize_t got = getrandom(out + filled, size - filled, 0);
        if (got > 0)
        {
            filled += static_cast<size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break;
    }
    if (filled == size)
        return;
    // A kernel without getrandom: the library's nondeterministic source.
    std::random_device device;
    for (; filled < size; ++filled)
        out[filled] = static_cast<uint8_t>(device());
}

std::string FourPartVersion(const char* text)
{
    unsigned parts[4] = {0, 0, 0, 0};
    std::sscanf(text, "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]);
    char out[64];
    std::snprintf(out, sizeof out, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
    return out;
}
} // namespace

namespace
{
std::mutex gGuidMutex;
bool gGuidOverride = false;
uint8_t gGuid[16];
bool gSeedRead = false;
bool gSeeded = false;
uint64_t gSeedState = 0;

// splitmix64: a whole sequence from one number, so seeded runs repeat.
uint64_t NextSeeded()
{
    uint64_t z = (gSeedState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Test mode of whole-program runs: MURKWELL_GUID_SEED=<n> makes the GUIDs a sequence seeded by n.
// Called with the mutex held.
void ReadGuidSeed()
{
    gSeedRead = true;
    const std::string text = GetEnvironmentVariable("MURKWELL_GUID_SEED");
    if (text.empty())
        return;
    char* end = nullptr;
    errno = 0;
    const unsigned long long seed = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || text[0] < '0' || text[0] > '9')
    {
        std::fprintf(stderr, "MURKWELL_GUID_SEED=%s ignored: expected a whole number\n",
                     text.c_str());
        return;
    }
    gSeeded = true;
    gSeedState = seed;
}
} // namespace

void SetNewGuidSeed(bool enabled, uint64_t seed)
{
    std::lock_guard<std::mutex> lock(gGuidMutex);
    gSeedRead = true;
    gSeeded = enabled;
    gSeedState = seed;
}

void SetNewGuidOverride(bool enabled, const uint8_t* guid)
{
    std::lock_guard<std::mutex> lock(gGuidMutex);
    gGuidOverride = enabled && guid != nullptr;
    if (gGuidOverride)
        std::memcpy(gGuid, guid, 16);
}

void NewGuid(uint8_t out[16])
{
    bool seeded = false;
    {
        std::lock_guard<std::mutex> lock(gGuidMutex);
        if (gGuidOverride)
        {
            std::memcpy(out, gGuid, 16);
            return;
        }
    }
    {
        std::lock_guard<std::mutex> lock(gGuidMutex);
        if (!gSeedRead)
            ReadGuidSeed();
        if (gSeeded)
        {
            seeded = true;
            const uint64_t high = NextSeeded();
            const uint64_t low = NextSeeded();
            std::memcpy(out, &high, 8);
            std::memcpy(out + 8, &low, 8);
        }
    }
    if (!seeded)
        FillRandom(out, 16);
    out[7] = static_cast<uint8_t>((out[7] & 0x0F) | 0x40); // version 4 in Data3's high nibble
    out[8] = static_cast<uint8_t>((out[8] & 0x3F) | 0x80); // RFC 4122 variant
}

bool GetFirstAdapterAddress(uint8_t out[8])
{
    {
        std::lock_guard<std::mutex> lock(gOverrideMutex);
        if (gOverride)
        {
            std::memcpy(out, gOverrideAddress, 8);
            return gOverridePresent;
        }
    }
    std::memset(out, 0, 8);
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    struct Adapter
    {
        int index;
        uint8_t address[8];
    };
    std::vector<Adapter> adapters;
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next)
    {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_PACKET)
            continue;
        if (entry->ifa_flags & IFF_LOOPBACK)
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        if (link->sll_halen == 0)
            continue;
        Adapter adapter{link->sll_ifindex, {}};
        std::memcpy(adapter.address, link->sll_addr, std::min<size_t>(link->sll_halen, 8));
        adapters.push_back(adapter);
    }
    freeifaddrs(list);
    if (adapters.empty() || adapters.size() > 16)
        return false;
    auto first =
        std::min_element(adapters.begin(), adapters.end(),
                         [](const Adapter& a, const Adapter& b) { return a.index < b.index; });
    std::memcpy(out, first->address, 8);
    return true;
}

void SetAdapterAddressOverride(bool enabled, const uint8_t* address, bool present)
{
    std::lock_guard<std::mutex> lock(gOverrideMutex);
    gOverride = enabled;
    gOverridePresent = present;
    std::memset(gOverrideAddress, 0, 8);
    if (address != nullptr)
        std::memcpy(gOverrideAddress, address, 8);
}

const VersionInfo& GetVersionInfo()
{
    static const VersionInfo info{FourPartVersion(MURKWELL_VERSION_TEXT), MURKWELL_PRODUCT_NAME,
                                  MURKWELL_INTERNAL_NAME};
    return info;
}

} // namespace sys
