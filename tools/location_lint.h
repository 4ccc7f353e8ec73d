#pragma once

// The locations' lint (location_lint.lua) run by the engine over a location script and the scripts
// its builder reads, and the check that every name the tables use exists in the assets folder: the
// content tests and the author's `locationcheck` share it.
#include "script/script.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace locationlint
{

// A file's bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct LintResult
{
    std::vector<std::string> faults;
    // "kind name" of each name the tables use.
    std::vector<std::string> needs;
    // "label sound" of each conversation line.
    std::vector<std::string> voices;
};

// A picture drawn at a point: its name, the point, and what it is.
struct Placed
{
    std::string picture;
    int x = 0;
    int y = 0;
    std::string name;
};

// The drawn box of a picture left, top, right, bottom: a description's first frame with its
// registration point, or a plain picture about its middle. Empty when there is neither.
inline std::array<int, 4> Box(const std::string& assets, const Placed& placed)
{
    const std::string description = ReadBytes(assets + "/" + placed.picture + ".xml");
    std::smatch frame;
    static const std::regex kFrame(
        "<frame [^>]*w=\"(\\d+)\" h=\"(\\d+)\"[^>]*regx=\"(-?\\d+)\" regy=\"(-?\\d+)\"");
    if (std::regex_search(description, frame, kFrame))
    {
        const int left = placed.x - std::stoi(frame[3]);
        const int top = placed.y - std::stoi(frame[4]);
        return {left, top, left + std::stoi(frame[1]), top + std::stoi(frame[2])};
    }
    // A PNG's size stands big-endian in its header chunk.
    const std::string png = ReadBytes(assets + "/" + placed.picture + ".png");
    if (png.size() < 24)
        return {0, 0, 0, 0};
    auto word = [&](size_t at)
    {
        int value = 0;
        for (size_t i = at; i < at + 4; ++i)
            value = value * 256 + static_cast<unsigned char>(png[i]);
        return value;
    };
    const int w = word(16);
    const int h = word(20);
    return {placed.x - w / 2, placed.y - h / 2, placed.x - w / 2 + w, placed.y - h / 2 + h};
}

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;

// A picture's width and height: a description's first frame, a PNG's header or a JPEG's frame
// header; 0, 0 when there is none of them.
inline std::pair<int, int> Size(const std::string& assets, const std::string& picture)
{
    const auto word = [](const std::string& bytes, size_t at, size_t count)
    {
        int value = 0;
        for (size_t i = at; i < at + count; ++i)
            value = value * 256 + static_cast<unsigned char>(bytes[i]);
        return value;
    };
    const std::string description = ReadBytes(assets + "/" + picture + ".xml");
    std::smatch frame;
    static const std::regex kSize("<frame [^>]*w=\"(\\d+)\" h=\"(\\d+)\"");
    if (std::regex_search(description, frame, kSize))
        return {std::stoi(frame[1]), std::stoi(frame[2])};
    const std::string png = ReadBytes(assets + "/" + picture + ".png");
    if (png.size() >= 24)
        return {word(png, 16, 4), word(png, 20, 4)};
    // A JPEG's segments follow one another, each with its length, up to the frame's header.
    const std::string jpg = ReadBytes(assets + "/" + picture + ".jpg");
    for (size_t at = 2; at + 9 < jpg.size();)
    {
        if (static_cast<unsigned char>(jpg[at]) != 0xFF)
            break;
        const int marker = static_cast<unsigned char>(jpg[at + 1]);
        if (marker >= 0xC0 && marker <= 0xC3)
            return {word(jpg, at + 7, 2), word(jpg, at + 5, 2)};
        at += 2 + static_cast<size_t>(word(jpg, at + 2, 2));
    }
    return {0, 0};
}

// The file a description's frames are cut from: its "img" name beside the description, or from the
// assets folder, as the engine looks for it. `described` says whether the picture has a
// description; the result is empty when it has none or its sheet is in neither place.
inline std::string SheetOf(const std::string& assets, const std::string& picture, bool& described,
                           std::string& named)
{
    const std::string description = ReadBytes(assets + "/" + picture + ".xml");
    described = !description.empty();
    std::smatch img;
    static const std::regex kImg("<img [^>]*name=\"([^\"]*)\"");
    if (!described || !std::regex_search(description, img, kImg))
        return std::string();
    named = img[1];
    const std::string folder = std::filesystem::path(assets + "/" + picture).parent_path().string();
    for (const std::string& candidate : {folder + "/" + named, assets + "/" + named})
        if (std::filesystem::is_regular_file(candidate))
            return candidate;
    return std::string();
}

// Whether a picture shows anything: its first frame's part of its sheet (or the whole picture
// without a description) has a pixel that is not wholly transparent. True when the picture is no
// PNG that can be read (a missing file is said apart; a JPEG has no transparency).
inline bool ShowsAnything(const std::string& assets, const std::string& picture)
{
    bool described = false;
    std::string named;
    std::string file = SheetOf(assets, picture, described, named);
    std::array<int, 4> frame = {0, 0, -1, -1};
    if (described)
    {
        const std::string description = ReadBytes(assets + "/" + picture + ".xml");
        std::smatch tag;
        static const std::regex kFrame("<frame [^>]*>");
        if (file.empty() || !std::regex_search(description, tag, kFrame))
            return true;
        const std::string attributes = tag[0];
        const char* const keys[] = {"x", "y", "w", "h"};
        for (size_t i = 0; i < 4; ++i)
        {
            std::smatch value;
            if (std::regex_search(attributes, value,
                                  std::regex(std::string("\\s") + keys[i] + "=\"(-?\\d+)\"")))
                frame[i] = std::stoi(value[1]);
        }
    }
    else
        file = assets + "/" + picture + ".png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str()))
        return true;
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
    {
        png_image_free(&image);
        return true;
    }
    const int width = static_cast<int>(image.width);
    const int height = static_cast<int>(image.height);
    const int left = std::clamp(frame[0], 0, width);
    const int top = std::clamp(frame[1], 0, height);
    const int right = frame[2] < 0 ? width : std::clamp(left + frame[2], left, width);
    const int bottom = frame[3] < 0 ? height : std::clamp(top + frame[3], top, height);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) +
                        static_cast<size_t>(x)) *
                           4 +
                       3] != 0)
                return true;
    return false;
}

inline bool Overlap(const std::array<int, 4>& a, const std::array<int, 4>& b)
{
    return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
}

// Runs the lint script `lint` over `location` (a script's path below `assets`); `edit`, when given,
// changes each script's text (path, text).
inline LintResult
LintLocation(const std::string& assets, const std::string& lint, const std::string& location,
             const std::function<std::string(const std::string&, std::string)>& edit = nullptr)
{
    TScript script;
    script.Init();
    script.DoLuaString("_sources = {}");
    for (const std::string& path :
         {std::string("scripts/styles.lua"), std::string("scripts/tutorials.lua"),
          std::string("scripts/journal.lua"), std::string("scripts/hud.lua"),
          std::string("scripts/hintboard.lua"), std::string("scripts/hintlirae.lua"),
          std::string("scripts/hintthessalor.lua"), std::string("scripts/locations/common.lua"),
          std::string("scripts/game.lua"), std::string("scripts/map.lua"),
          std::string("scripts/minigames/ritualpuzzle.lua"), location})
    {
        std::string text = ReadBytes(assets + "/" + path);
        if (edit)
            text = edit(path, text);
        script.SetGlobalString("_text", text.c_str());
        script.DoLuaString(("_sources['" + path + "'] = _text").c_str());
    }
    script.SetGlobalString("_location", location.c_str());
    // A lint that stops half-way (a location shaped as it never expected) says so as a fault, so
    // the check never reads as clean.
    script.SetGlobalString("_lint", ReadBytes(lint).c_str());
    script.DoLuaString(
        "local run, why = loadstring(_lint, 'location_lint.lua')\n"
        "local ran, fault = pcall(run or error, why)\n"
        "if type(fault) == 'table' then _result = 'fault ' .. tostring(fault.fault)\n"
        "elseif not ran then _result = 'fault the lint stopped: ' .. tostring(fault) end");
    LintResult result;
    std::vector<Placed> prompts;
    std::vector<Placed> items;
    std::vector<Placed> backdrops;
    std::vector<std::pair<std::string, std::string>> pieces;
    std::istringstream lines(script.GetGlobalString("_result").c_str());
    for (std::string line; std::getline(lines, line);)
    {
        if (line.rfind("fault ", 0) == 0)
            result.faults.push_back(line.substr(6));
        else if (line.rfind("need ", 0) == 0)
            result.needs.push_back(line.substr(5));
        else if (line.rfind("voice ", 0) == 0)
            result.voices.push_back(line.substr(6));
        else if (line.rfind("piece ", 0) == 0)
        {
            std::istringstream fields(line.substr(6));
            std::string picture;
            std::string item;
            fields >> picture >> item;
            pieces.emplace_back(picture, item);
        }
        else if (line.rfind("place ", 0) == 0)
        {
            std::istringstream fields(line.substr(6));
            Placed placed;
            std::string kind;
            fields >> placed.picture >> placed.x >> placed.y >> kind >> placed.name;
            (kind == "prompt" ? prompts : kind == "backdrop" ? backdrops : items).push_back(placed);
        }
    }
    // A prompt holds the clicks it does not ask for: over an object to find it hides the object
    // and takes its click.
    for (const Placed& prompt : prompts)
        for (const Placed& item : items)
            if (Overlap(Box(assets, prompt), Box(assets, item)))
                result.faults.push_back("prompt " + prompt.name + " covers item " + item.name);
    // A backdrop smaller than the screen leaves black bands beside it.
    for (const Placed& backdrop : backdrops)
    {
        const auto [w, h] = Size(assets, backdrop.picture);
        if (w > 0 && h > 0 && (w < kScreenWidth || h < kScreenHeight))
        {
            const size_t colon = backdrop.name.find(':');
            result.faults.push_back(
                "scene " + backdrop.name.substr(0, colon) + " has a backdrop, layer " +
                backdrop.name.substr(colon + 1) + "'s image " + backdrop.picture + ", of " +
                std::to_string(w) + " x " + std::to_string(h) + ", smaller than the screen's " +
                std::to_string(kScreenWidth) + " x " + std::to_string(kScreenHeight));
        }
    }
    // A piece whose picture is wholly transparent has nothing to see or to click.
    for (const auto& [picture, item] : pieces)
        if (!ShowsAnything(assets, picture))
            result.faults.push_back("item " + item + "'s picture " + picture +
                                    " is wholly transparent: nothing to see or click");
    // A description is read without its sheet; the picture then shows nothing, said only when it
    // is first drawn.
    std::set<std::string> looked;
    for (const std::string& need : result.needs)
    {
        if (need.rfind("image ", 0) != 0 || !looked.insert(need).second)
            continue;
        const std::string picture = need.substr(6);
        bool described = false;
        std::string named;
        if (SheetOf(assets, picture, described, named).empty() && described && !named.empty())
            result.faults.push_back("image " + picture + ": its description " + picture +
                                    ".xml names the sheet " + named + ", which is in neither " +
                                    std::filesystem::path(assets + "/" + picture)
                                        .parent_path()
                                        .lexically_relative(assets)
                                        .generic_string() +
                                    " nor the assets folder");
    }
    return result;
}

inline bool HasLabel(const std::string& strings, const std::string& label)
{
    return strings.find("<Data ss:Type=\"String\">" + label + "</Data>") != std::string::npos;
}

// The names among `needs` that name nothing in `assets`.
inline std::vector<std::string> MissingNames(const std::string& assets,
                                             const std::vector<std::string>& needs)
{
    const std::string strings = ReadBytes(assets + "/strings.xml");
    const std::string sounds = "," + ReadBytes(assets + "/audio/snd.txt");
    std::vector<std::string> missing;
    for (const std::string& need : needs)
    {
        const std::string kind = need.substr(0, need.find(' '));
        const std::string name = need.substr(need.find(' ') + 1);
        bool found = false;
        if (kind == "image")
            for (const char* extension : {".png", ".jpg", ".xml", ".anm"})
                found = found || std::filesystem::exists(assets + "/" + name + extension);
        else if (kind == "file")
            found = std::filesystem::exists(assets + "/" + name);
        else if (kind == "sound")
            found = sounds.find("," + name.substr(0, name.find('?')) + ",") != std::string::npos;
        else if (kind == "label")
            found = HasLabel(strings, name);
        if (!found)
            missing.push_back(need);
    }
    return missing;
}
} // namespace locationlint
