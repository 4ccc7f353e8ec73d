// The size budget of the sample game: assets/ as a whole, and each generated file on its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace
{
const std::filesystem::path kAssets = std::filesystem::path(MURKWELL_SOURCE_DIR) / "assets";
constexpr uintmax_t kFolderBudget = 3u << 20;
constexpr uintmax_t kGeneratedFileBudget = 256u << 10;
} // namespace

TEST(AssetBudget, FolderAndEveryGeneratedFileStayWithinTheirLimits)
{
    namespace fs = std::filesystem;
    uintmax_t total = 0;
    for (const auto& item : fs::recursive_directory_iterator(kAssets))
        if (item.is_regular_file())
            total += item.file_size();
    EXPECT_LE(total, kFolderBudget);

    // The generated files are the ones assets/.gitignore lists ("/path" lines). A pack is a folder
    // of generated files in one: its entries are held to the limit one by one (sound_pack_test).
    std::ifstream ignore(kAssets / ".gitignore");
    int generated = 0;
    for (std::string line; std::getline(ignore, line);)
    {
        if (line.empty() || line[0] != '/')
            continue;
        SCOPED_TRACE(line);
        fs::path file = kAssets / line.substr(1);
        ASSERT_TRUE(fs::is_regular_file(file)) << "missing: run `make assets`";
        ++generated;
        if (file.extension() == ".qmp")
            continue;
        EXPECT_LE(fs::file_size(file), kGeneratedFileBudget);
    }
    EXPECT_GE(generated, 7);
}
