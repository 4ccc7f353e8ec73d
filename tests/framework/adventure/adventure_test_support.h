// Shared by the adventure framework's tests: a callback record that counts and remembers its calls
// (and may act on each), and string-table rows made by a test.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/wait_handle.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace adventuretest
{

struct Calls
{
    static void On(void* object, TM_Transform* target, uint32_t id)
    {
        auto* calls = static_cast<Calls*>(object);
        calls->mTargets.push_back(target);
        calls->mArgs.push_back(id);
        if (calls->mThen)
            calls->mThen();
    }
    size_t Count() const { return mArgs.size(); }
    // A report of its own each time, told into these calls.
    WaitHandle Report() { return WaitHandle::For(mCallback); }

    Callback mCallback{this, &Calls::On};
    std::vector<uint32_t> mArgs;
    std::vector<TM_Transform*> mTargets;
    std::function<void()> mThen;
};

// Adds (label, text) rows to the application's string table.
inline void LoadStrings(const std::vector<std::pair<std::string, std::string>>& rows)
{
    std::string sheet =
        "<?xml version=\"1.0\"?>\n<Workbook><Worksheet ss:Name=\"Sheet1\"><Table>\n";
    for (const auto& [label, text] : rows)
        sheet += "<Row><Cell><Data ss:Type=\"String\">" + label +
                 "</Data></Cell><Cell><Data ss:Type=\"String\">" + text + "</Data></Cell></Row>\n";
    sheet += "</Table></Worksheet></Workbook>\n";
    TApplication* application = TApplication::Get();
    ASSERT_NE(application, nullptr);
    ASSERT_TRUE(application->GetStringTable()->LoadBuffer(sheet.data(),
                                                          static_cast<uint32_t>(sheet.size())));
}

} // namespace adventuretest
