// Helpers of the sprite and animation tests: a display ready for drawing, golden-picture checks,
// a small frame sheet and a writer of the packed animation form.
#pragma once

#include "render_test_support.h"

#include "image_writers.h"
#include "platform/files/file_layer.h"
#include "sys/display/presenter/surface_png.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <list>
#include <string>
#include <vector>

namespace spritetest
{

// A 32 x 16 sheet of two 16 x 16 frames: frame 0 red with a transparent left column band
// (x < 4), frame 1 a blue-green ramp; both with a white top row so that mirroring shows.
inline std::string MakeSheetPng()
{
    imagetest::PngPlan plan;
    plan.width = 32;
    plan.height = 16;
    plan.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (uint16_t y = 0; y < 16; ++y)
        for (uint16_t x = 0; x < 32; ++x)
        {
            const bool second = x >= 16;
            const uint16_t local = static_cast<uint16_t>(x % 16);
            uint16_t r = second ? 0 : 220, g = second ? static_cast<uint16_t>(local * 16) : 40,
                     b = second ? 200 : static_cast<uint16_t>(y * 12), a = 255;
            if (y == 0)
                r = g = b = 255;
            if (!second && local < 4)
                a = 0;
            plan.samples.insert(plan.samples.end(), {r, g, b, a});
        }
    return imagetest::EncodePng(plan);
}

// The packed form, little-endian, written field by field.
class AnmWriter
{
public:
    AnmWriter& Tag(const char* tag)
    {
        mBytes.append(tag, 4);
        return *this;
    }
    AnmWriter& Int(int32_t v)
    {
        const auto u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            mBytes.push_back(static_cast<char>(u >> (8 * i)));
        return *this;
    }
    AnmWriter& Float(float f)
    {
        int32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        return Int(bits);
    }
    AnmWriter& Str(const std::string& s)
    {
        Int(static_cast<int32_t>(s.size()));
        mBytes += s;
        return *this;
    }
    const std::string& Bytes() const { return mBytes; }

private:
    std::string mBytes;
};

// Keeps memory files registered for the length of a test.
class MemoryFiles
{
public:
    ~MemoryFiles()
    {
        for (const auto& name : mNames)
            RegisterMemoryFileName(name.c_str(), nullptr, 0);
    }
    void Add(const std::string& name, const std::string& bytes)
    {
        mData.push_back(bytes);
        mNames.push_back(name);
        RegisterMemoryFileName(name.c_str(), mData.back().data(),
                               static_cast<uint32_t>(mData.back().size()));
    }

private:
    std::vector<std::string> mNames;
    // A list: the registered bytes never move.
    std::list<std::string> mData;
};

} // namespace spritetest
