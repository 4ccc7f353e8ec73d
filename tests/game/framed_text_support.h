// Shared by the game's screen tests: the adventure screens' framed display with the text
// rasteriser and the square test font served as "fonts/square.mvec".
#pragma once

#include "framework/adventure/framed_screen_support.h"
#include "render/text/font_map.h"
#include "render/text_test_support.h"

#include <string>
#include <vector>

namespace gametest
{

class FramedTextTest : public adventuretest::FramedScreenTest
{
protected:
    void SetUp() override
    {
        FramedScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        mSeam->CreateVectorRasteriser();
        const std::vector<uint8_t> font = texttest::SquareFont();
        Serve("fonts/square.mvec", std::string(font.begin(), font.end()));
    }
    void TearDown() override
    {
        mSeam->DestroyVectorRasteriser();
        FramedScreenTest::TearDown();
        GetFontMap().Clear();
    }
};

} // namespace gametest
