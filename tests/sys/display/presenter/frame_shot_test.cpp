// The frame test mode: what "<n>:<file>" accepts, and the n-th presented frame written to that PNG
// (counted across presenters, an empty region included) while the others are not.
#include "sys/display/presenter/frame_shot.h"
#include "sys/display/pixel_format.h"
#include "sys/display/presenter/presenter.h"
#include "sys/display/surface.h"
#include "sys/display/presenter/surface_png.h"

#include "support/files.h"

#include <gtest/gtest.h>

using namespace sys::display;

TEST(FrameShot, ParsesFrameNumberAndFile)
{
    FrameShot shot;
    ASSERT_TRUE(ParseFrameShot("12:/tmp/a:b.png", shot));
    EXPECT_EQ(shot.mFrame, 12u);
    EXPECT_EQ(shot.mPath, "/tmp/a:b.png") << "the first colon ends the number";
    for (const char* bad :
         {"", "0:x.png", "x.png", "3:", "-1:x.png", " 2:x.png", "2x:x.png", "99999999999:x.png"})
        EXPECT_FALSE(ParseFrameShot(bad, shot)) << bad;
    EXPECT_FALSE(ParseFrameShot(nullptr, shot));
}

TEST(FrameShot, WritesTheRequestedFrameOnly)
{
    testsupport::ScratchFolder scratch("mw_shot");
    const std::string path = (scratch / "frame.png").string();
    SetFrameShot({3, path});
    auto surface = Surface::Create(4, 2, MakePixelFormat(FormatId::X8R8G8B8));
    Presenter first(nullptr);
    surface->WritePixel(1, 1, 0xFF0000FF);
    first.Present(*surface, Rect{0, 0, 4, 2});
    first.Present(*surface, Rect{0, 0, 0, 0});
    EXPECT_FALSE(std::filesystem::exists(path));
    Presenter second(nullptr);
    surface->WritePixel(2, 0, 0xFF00FF00);
    second.Present(*surface, Rect{0, 0, 4, 2});
    const std::vector<uint8_t> expected =
        EncodePng(second.GetLastFrame().data(), second.GetFrameWidth(), second.GetFrameHeight());
    EXPECT_EQ(testsupport::ReadFile(path), std::string(expected.begin(), expected.end()));
    std::filesystem::remove(path);
    second.Present(*surface, Rect{0, 0, 4, 2});
    EXPECT_FALSE(std::filesystem::exists(path)) << "written once";
    SetFrameShot({});
}
