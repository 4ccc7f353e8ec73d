// Test support for the HTTP client: a scratch folder with data folders and a log, loopback-only
// traffic, and no worker thread left behind by a test.
#pragma once

#include "support/file_layer_fixture.h"
#include "support/loopback_server.h"
#include "services/simple_http.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace httptest
{

class HttpTest : public filetest::FileLayerTest
{
protected:
    void SetUp() override
    {
        FileLayerTest::SetUp();
        // Loopback requests never go through a proxy the environment might name.
        setenv("no_proxy", "127.0.0.1,localhost", 1);
        mBaselineWorkers = TSimpleHttp::GetLiveWorkerCount();
    }

    void TearDown() override
    {
        // Abandoned workers free themselves once they see their cancel; wait for that, bounded.
        EXPECT_TRUE(
            WaitUntil([&] { return TSimpleHttp::GetLiveWorkerCount() <= mBaselineWorkers; }));
        FileLayerTest::TearDown();
    }

    static bool WaitForEnd(const TSimpleHttp& http)
    {
        return WaitUntil([&] { return http.GetStatus() != TSimpleHttp::kHttpRunning; });
    }
    // Sends the described request with `options` and waits for its end.
    static bool SendAndWait(TSimpleHttp& http, uint32_t options)
    {
        http.Send(options);
        return WaitForEnd(http);
    }
    // Opens a request with Open's arguments, sends it with `options` and waits for its end.
    static bool Fetch(TSimpleHttp& http, uint32_t options, const std::string& url, bool post,
                      const char* outputFile = nullptr)
    {
        http.Open(url.c_str(), post, outputFile);
        return SendAndWait(http, options);
    }

    int mBaselineWorkers = 0;
};

} // namespace httptest
