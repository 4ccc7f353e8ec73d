// Test support for the file layer: a scratch working folder with data folders, and a pack builder
// that lays pack files out byte by byte.
#pragma once

#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "platform/files/pack_file.h"
#include "sys/files/paths.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace filetest
{

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    testsupport::WriteFile(path, bytes);
}

inline std::string ReadBytes(const std::string& path)
{
    return testsupport::ReadFile(path);
}

// A fresh working folder holding "assets", "user" and "common", with the file layer's state emptied
// and the log written into the folder. Everything is undone afterwards.
class FileLayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mOldFolder = sys::GetCurrentFolder();
        ASSERT_TRUE(sys::SetCurrentFolder(mRoot));
        sys::MakeFolder(mRoot + "/assets");
        sys::MakeFolder(mRoot + "/user");
        sys::MakeFolder(mRoot + "/common");
        ResetState();
        SetDataFolders((mRoot + "/user").c_str(), (mRoot + "/common").c_str(),
                       (mRoot + "/desktop").c_str());
        SetLogFolder((mRoot + "/log").c_str());
    }

    void TearDown() override
    {
        SetLogFolder(nullptr);
        ResetState();
        SetDataFolders(TString(), TString(), TString());
        sys::SetCurrentFolder(mOldFolder);
    }

    static void ResetState()
    {
        ClearPathMap();
        ClearExclusionList();
        ClearPackTable();
        SetPreviewMode(false);
        ClearConfig();
    }

    std::string Log() const { return ReadBytes(mRoot + "/log/logfile.txt"); }
    void Write(const std::string& relative, const std::string& bytes) const
    {
        WriteBytes(mRoot + "/" + relative, bytes);
    }
    void Folder(const std::string& relative) const { sys::MakeFolder(mRoot + "/" + relative); }

    testsupport::ScratchFolder mScratch{"mw_files"};
    std::string mRoot = mScratch.Path().string();
    std::string mOldFolder;
};

// Builds a pack file: the magic, the entry count, the directory, then the entries' data.
class PackBuilder
{
public:
    PackBuilder& Add(const std::string& name, const std::string& data)
    {
        mEntries.push_back({name, data});
        return *this;
    }

    // The whole file with offsets computed from the layout.
    std::string Build(const char* magic = "QMPK") const
    {
        std::string out(magic, 4);
        PutU32(out, static_cast<uint32_t>(mEntries.size()));
        size_t directory = 0;
        for (const auto& entry : mEntries)
            directory += 1 + entry.first.size() + 8;
        uint32_t offset = static_cast<uint32_t>(8 + directory);
        for (const auto& entry : mEntries)
        {
            out += static_cast<char>(entry.first.size());
            out += entry.first;
            PutU32(out, offset);
            PutU32(out, static_cast<uint32_t>(entry.second.size()));
            offset += static_cast<uint32_t>(entry.second.size());
        }
        for (const auto& entry : mEntries)
            out += entry.second;
        return out;
    }

    static void PutU32(std::string& out, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>(value >> (8 * i) & 0xFF);
    }

private:
    std::vector<std::pair<std::string, std::string>> mEntries;
};

} // namespace filetest
