// The failure reporter's two log line forms.
#include "particles/failure.h"
#include "platform/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

TEST(Failure, ReportsFileLineAndMessageOrTheMessageAlone)
{
    std::random_device device;
    fs::path root = fs::temp_directory_path() / ("murkwell_failure_" + std::to_string(device()));
    SetLogFolder(root.c_str());
    gFailure->Report("Out of range parameter index [3]", 120, "nodes.cpp");
    gFailure->Report("Particle Values: (0.500000) ");
    SetLogFolder(nullptr);
    std::ifstream in(root / "logfile.txt");
    std::stringstream text;
    text << in.rdbuf();
    fs::remove_all(root);
    std::regex lines(R"(^[^\n]*: nodes\.cpp\(120\): Out of range parameter index \[3\]\n)"
                     R"([^\n]*: Particle Values: \(0\.500000\) \n$)");
    EXPECT_TRUE(std::regex_match(text.str(), lines)) << text.str();
}
