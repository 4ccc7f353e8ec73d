// The optional locale library's collation: its loader and the handler that keeps it loaded.
#include "platform/strings/collate.h"

#include "sys/files/paths.h"

#include <gtest/gtest.h>

#include <utility>

namespace
{

TEST(Collate, HandlerComesFromTheLocaleLibrary)
{
    TDllCollateHandler* handler = LoadCollateHandler(sys::GetModuleFolder() + "testlocale.dll");
    ASSERT_NE(handler, nullptr);
    ASSERT_NE(handler->GetCollate(), nullptr);
    EXPECT_GT(handler->GetCollate()("a", "b"), 0);
    TDllCollateHandler moved(std::move(*handler));
    EXPECT_EQ(handler->GetCollate(), nullptr);
    delete handler;
    EXPECT_LT(moved.GetCollate()("b", "a"), 0);

    EXPECT_EQ(LoadCollateHandler("no_such_locale.dll"), nullptr);
    // A library without the entry is not kept.
    EXPECT_EQ(LoadCollateHandler("libz.so.1"), nullptr);
}

} // namespace
