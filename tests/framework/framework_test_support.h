// Shared by the framework tests: a log written into a scratch folder, the frame clock and
// transform manager stepped by hand, and memory files.
#pragma once

#include "framework/core/delta_time.h"
#include "framework/transforms/transform_manager.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <list>
#include <vector>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace fwtest
{

// The log goes to a fresh folder for the test's length.
class LogCapture
{
public:
    LogCapture()
    {
        std::random_device device;
        mRoot =
            std::filesystem::temp_directory_path() / ("murkwell_fw_" + std::to_string(device()));
        SetLogFolder(mRoot.c_str());
    }
    ~LogCapture()
    {
        SetLogFolder(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(mRoot, ignored);
    }
    std::string Text() const
    {
        std::ifstream in(mRoot / "logfile.txt", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool Has(const std::string& part) const { return Text().find(part) != std::string::npos; }
    std::filesystem::path mRoot;
};

// A frame clock and a transform manager; Frame(t) runs one frame at time t.
class TransformTest : public ::testing::Test
{
protected:
    void Frame(uint32_t now)
    {
        mClock.SetFrameTime(now);
        mManager.Update();
    }
    // A memory file for the file layer, kept alive by the fixture.
    void MemoryFile(const std::string& name, const std::string& text)
    {
        mFiles.push_back(text);
        RegisterMemoryFileName(name.c_str(), mFiles.back().data(),
                               static_cast<uint32_t>(mFiles.back().size()));
        mNames.push_back(name);
    }
    void TearDown() override
    {
        for (const std::string& name : mNames)
            RegisterMemoryFileName(name.c_str(), nullptr, 0);
    }

    LogCapture mLog;
    DeltaTime mClock;
    TransformManager mManager;
    std::list<std::string> mFiles;
    std::vector<std::string> mNames;
};

} // namespace fwtest
