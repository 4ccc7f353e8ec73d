// Identity: fresh GUIDs, the adapter-address override, the version constants.
#include "sys/process/identity.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Identity, GuidsAreFreshAndMarkedVersionFour)
{
    uint8_t a[16];
    uint8_t b[16];
    sys::NewGuid(a);
    sys::NewGuid(b);
    EXPECT_NE(std::memcmp(a, b, 16), 0);
    EXPECT_EQ(a[7] >> 4, 4);
    EXPECT_EQ(a[8] & 0xC0, 0x80);
}

TEST(Identity, AdapterAddressCanBeReplaced)
{
    const uint8_t mac[8] = {0x02, 0x42, 0xAC, 0x11, 0x00, 0x02, 0, 0};
    sys::SetAdapterAddressOverride(true, mac, true);
    uint8_t out[8] = {};
    EXPECT_TRUE(sys::GetFirstAdapterAddress(out));
    EXPECT_EQ(std::memcmp(out, mac, 8), 0);
    sys::SetAdapterAddressOverride(true, nullptr, false);
    EXPECT_FALSE(sys::GetFirstAdapterAddress(out));
    sys::SetAdapterAddressOverride(false);
}

TEST(Identity, RealAdapterQueryLeavesZerosWhenThereIsNone)
{
    sys::SetAdapterAddressOverride(false);
    uint8_t out[8];
    std::memset(out, 0xEE, sizeof out);
    if (!sys::GetFirstAdapterAddress(out))
    {
        for (uint8_t byte : out)
            EXPECT_EQ(byte, 0);
    }
}

TEST(Identity, VersionConstants)
{
    const sys::VersionInfo& info = sys::GetVersionInfo();
    EXPECT_EQ(info.productName, "Murkwell");
    EXPECT_EQ(info.internalName, "murkwell");
    int dots = 0;
    for (char c : info.versionText)
        dots += c == '.';
    EXPECT_EQ(dots, 3);
    EXPECT_EQ(info.versionText.rfind("1.0.0", 0), 0u);
}
