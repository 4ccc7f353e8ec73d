// The cross-sell page on the headless display with the window script: the content file read into
// the texts with their link mark-up, the hidden slots, the re-anchoring rules, the opened pages
// (through a recording opener first on PATH), a link press that fires its button, and bad content
// and bad calls that open nothing and crash nothing.
#include "services/host/platform_link.h"
#include "services/xsell_window.h"
#include "support/environment.h"
#include "support/files.h"
#include "ui/button.h"
#include "ui/text_window.h"
#include "ui/ui_display_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

namespace
{

const char kThreeGames[] =
    "<xsell>"
    "<gameinfo description=\"One\" linktext=\"Read\" color=\"#d8b56a\" link=\"https://a.test/1\"/>"
    "<gameinfo description=\"Two\" link=\"https://a.test/2\"/>"
    "<gameinfo description=\"Three\" linktext=\"Go\" color=\"ff0000\" link=\"https://a.test/3\"/>"
    "<centertext text1=\"More\" text2=\"stories\"/>"
    "</xsell>";

class XSellWindowTest : public uitest::UiDisplayTest
{
protected:
    void SetUp() override
    {
        UiDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("XSellWindow", &TXSellWindow::Create);
        // The desktop's opener stands in as a script that notes each address it is given.
        std::ofstream opener(mBin / "xdg-open");
        opener << "#!/bin/sh\necho \"$1\" >> '" << (mBin / "opened").string() << "'\n";
        opener.close();
        std::filesystem::permissions(mBin / "xdg-open", std::filesystem::perms::owner_all);
        mPath.emplace("PATH", mBin.Path().string() + ":" + std::getenv("PATH"));
    }
    void TearDown() override
    {
        mPath.reset();
        UiDisplayTest::TearDown();
    }

    // A page inside a plain window at (100, 50), with eight description slots, three buttons, the
    // site button, the centre texts, both logos and a closing button; `extra` adds style keys.
    // It is a modal dialog waited for by the script, as the game opens it, so that button
    // commands run.
    TXSellWindow* Page(const std::string& config, const std::string& extra = "",
                       const std::string& children = "")
    {
        std::string code = "Window{ name = 'holder', x = 100, y = 50, w = 700, h = 550, "
                           "XSellWindow{ name = 'xsell', x = 0, y = 0, w = 600, h = 500, "
                           "config = '" +
                           config + "', " + extra;
        for (int n = 1; n <= 8; ++n)
            code += "Text{ name = 'descrip" + std::to_string(n) +
                    "', x = 10, y = " + std::to_string(40 * n) +
                    ", w = 400, h = 36, font = { '__DEFAULT', 20 }, label = '#' }, ";
        for (int n = 1; n <= 3; ++n)
            code += "Button{ name = 'xsellbutton" + std::to_string(n) +
                    "', x = 500, y = " + std::to_string(40 * n) +
                    ", w = 40, h = 20, command = function() " + "LaunchGameLink(" +
                    std::to_string(n) + ") end }, ";
        code += children +
                "Button{ name = 'gamesite', x = 300, y = 450, w = 60, h = 30 }, "
                "Text{ name = 'centertext1', w = 100, h = 20, label = '#' }, "
                "Text{ name = 'centertext2', y = 20, w = 100, h = 20, label = '#' }, "
                "Window{ name = 'sitelogo', x = 20, y = 400, w = 30, h = 10 }, "
                "Window{ name = 'quillmarklogo', x = 80, y = 400, w = 31, h = 11 } }, "
                "Button{ name = 'close', x = 650, y = 500, w = 40, h = 40, close = true } }()";
        Serve("page" + std::to_string(++mPages) + ".lua", code);
        Do("return function() DoModal('page" + std::to_string(mPages) + ".lua') end");
        TWindow* page = Find("xsell");
        return page != nullptr && page->IsKindOf(TXSellWindow::GetClassId())
                   ? static_cast<TXSellWindow*>(page)
                   : nullptr;
    }
    // Presses the page's closing button: the page and its windows go. The press comes a second
    // after the last one, or it would be the second half of a double click.
    void Close()
    {
        Tick(1000);
        TRect button = Find("close")->GetScreenRect();
        Mouse(kEventLeftDown, button.left + 5, button.top + 5);
        Mouse(kEventLeftUp, button.left + 5, button.top + 5);
        Tick();
        Tick();
    }
    std::string TextOf(const char* name)
    {
        TWindow* w = Find(name);
        return w != nullptr && w->IsKindOf(TText::GetClassId())
                   ? static_cast<TText*>(w)->GetText().c_str()
                   : "<none>";
    }
    bool Shown(const char* name) { return (Find(name)->GetFlags() & kWindowVisible) != 0; }
    // The addresses the opener received, once `count` of them have arrived (at most 5 s).
    std::vector<std::string> Opened(size_t count)
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 500; ++i)
        {
            lines.clear();
            std::ifstream in(mBin / "opened");
            for (std::string line; std::getline(in, line);)
                lines.push_back(line);
            if (lines.size() >= count)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return lines;
    }

    testsupport::ScratchFolder mBin{"mw_xsell"};
    std::optional<testsupport::EnvironmentGuard> mPath;
    int mPages = 0;
};

TEST_F(XSellWindowTest, FillsTheTextsWithLinksAndHidesTheEmptySlots)
{
    Serve("xsell/test.xml", kThreeGames);
    TXSellWindow* page = Page("xsell/test.xml");
    ASSERT_NE(page, nullptr);
    EXPECT_STREQ(page->GetConfigFile().c_str(), "xsell/test.xml");
    EXPECT_FALSE(page->GetAutoExpand());
    Do("SetupXSell()");

    // Seven characters are not a colour: the default link colour.
    EXPECT_EQ(TextOf("descrip1"), "One <u><font color=\"003cff\"><a id='xsellbutton1'>Read</a>"
                                  "</font></u>");
    EXPECT_EQ(TextOf("descrip2"), "Two") << "no link text, no link";
    EXPECT_EQ(TextOf("descrip3"), "Three <u><font color=\"ff0000\"><a id='xsellbutton3'>Go</a>"
                                  "</font></u>");
    EXPECT_STREQ(page->GetGameLink(1).c_str(), "https://a.test/2");
    EXPECT_EQ(TextOf("centertext1"), "More");
    EXPECT_EQ(TextOf("centertext2"), "stories");
    for (const char* name : {"descrip1", "descrip3", "xsellbutton3"})
        EXPECT_TRUE(Shown(name)) << name;
    for (const char* name : {"descrip4", "descrip8", "gamesite"})
        EXPECT_FALSE(Shown(name)) << name << " (no game, no site)";

    // Two games hide the third slot's text and button too.
    Serve("xsell/two.xml", "<xsell><gameinfo description=\"A\"/><gameinfo description=\"B\"/>"
                           "<sitelink link=\"https://a.test/site\"/></xsell>");
    Do("XSellWindow{ name = 'second', config = 'xsell/two.xml', "
       "Text{ name = 'descrip3', label = '#x' }, Button{ name = 'xsellbutton3' }, "
       "Button{ name = 'gamesite' } }()");
    Do("SetupXSell()");
    TWindow* second = Find("second");
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->FindChild("descrip3", 0xFFFFFFFFu)->GetFlags() & kWindowVisible);
    EXPECT_FALSE(second->FindChild("xsellbutton3", 0xFFFFFFFFu)->GetFlags() & kWindowVisible);
    EXPECT_TRUE(second->FindChild("gamesite", 0xFFFFFFFFu)->GetFlags() & kWindowVisible);
    EXPECT_STREQ(static_cast<TXSellWindow*>(second)->GetSiteLink().c_str(), "https://a.test/site");
}

TEST_F(XSellWindowTest, ReanchorsByScreenOrParentCoordinatesOnce)
{
    Serve("xsell/test.xml", kThreeGames);
    // Without "autoexpand" the screen rectangle is taken: the holder's (100, 50) shifts the
    // button by that much, as the rule says for a page away from the origin.
    ASSERT_NE(Page("xsell/test.xml"), nullptr);
    Do("SetupXSell()");
    TRect button = Find("xsellbutton1")->GetRect();
    EXPECT_EQ(button.left, 100 + 500 - 20);
    EXPECT_EQ(button.top, 50 + 40 - 10);
    TRect quill = Find("quillmarklogo")->GetRect();
    EXPECT_EQ(quill.left, 100 + 80 - 15) << "halves rounded toward zero";
    EXPECT_EQ(quill.top, 50 + 400 - 5);
    Do("SetupXSell()");
    EXPECT_EQ(Find("xsellbutton1")->GetRect().left, button.left) << "never moved twice";
}

TEST_F(XSellWindowTest, ReanchorsInTheParentsCoordinatesWithAutoExpand)
{
    Serve("xsell/test.xml", kThreeGames);
    TXSellWindow* page = Page("xsell/test.xml", "autoexpand = true, ");
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->GetAutoExpand());
    Do("SetupXSell()");
    EXPECT_EQ(Find("xsellbutton2")->GetRect().left, 500 - 20);
    EXPECT_EQ(Find("xsellbutton2")->GetRect().top, 80 - 10);
    EXPECT_EQ(Find("sitelogo")->GetRect().left, 20 - 15);
    EXPECT_EQ(Find("gamesite")->GetRect().left, 300 - 30) << "hidden, but moved all the same";
}

TEST_F(XSellWindowTest, OpensOnlyTheNamedPages)
{
    Serve("xsell/test.xml", kThreeGames);
    ASSERT_NE(Page("xsell/test.xml"), nullptr);
    Do("SetupXSell()");
    // Nothing but a number from 0 to 7 names a page, and no site was given.
    Do("LaunchGameLink() LaunchGameLink(nil) LaunchGameLink('abc') LaunchGameLink(-1) "
       "LaunchGameLink(8) LaunchGameLink(1e300) LaunchGameLink(0/0) LaunchGameLink({}) "
       "LaunchGameLink(0) LaunchGameLink(5)");
    Do("LaunchGameLink(3.7)");
    EXPECT_EQ(Opened(1), (std::vector<std::string>{"https://a.test/3"}));
    Do("LaunchGameLink(2.9)");
    EXPECT_EQ(Opened(2), (std::vector<std::string>{"https://a.test/3", "https://a.test/2"}));
}

// A double click on a link is one request: the same page again within 400 ms is not opened, another
// page is, and the same page a double click's time later is.
TEST_F(XSellWindowTest, ADoubleClickOnALinkOpensItsPageOnce)
{
    Serve("xsell/test.xml", kThreeGames);
    ASSERT_NE(Page("xsell/test.xml"), nullptr);
    Do("SetupXSell()");
    Do("LaunchGameLink(2)");
    EXPECT_EQ(Opened(1), (std::vector<std::string>{"https://a.test/2"}));
    Tick(399);
    Do("LaunchGameLink(2) LaunchGameLink(3)");
    EXPECT_EQ(Opened(2), (std::vector<std::string>{"https://a.test/2", "https://a.test/3"}));
    Tick(400);
    Do("LaunchGameLink(3)");
    EXPECT_EQ(Opened(3), (std::vector<std::string>{"https://a.test/2", "https://a.test/3",
                                                   "https://a.test/3"}));
}

// With no opener, the page shows its note, hidden until then, with the address after its words.
TEST_F(XSellWindowTest, ALinkThatDoesNotOpenIsSaidOnThePage)
{
    Serve("xsell/test.xml", kThreeGames);
    ASSERT_NE(Page("xsell/test.xml", "",
                   "Text{ name = 'linknote', y = 460, w = 500, h = 20, label = 'Not opened:' }, "),
              nullptr);
    Do("SetupXSell()");
    EXPECT_FALSE(Shown("linknote"));
    // No opener anywhere on the path.
    std::filesystem::remove(mBin / "xdg-open");
    mPath.reset();
    mPath.emplace("PATH", mBin.Path().string());
    Do("LaunchGameLink(2)");
    EXPECT_TRUE(Shown("linknote"));
    EXPECT_EQ(TextOf("linknote"), "Not opened: https://a.test/2");
    Do("LaunchGameLink(3)");
    EXPECT_EQ(TextOf("linknote"), "Not opened: https://a.test/3");
}

// The note speaks of the link pressed last: a press hides it until that link's own page fails,
// and an earlier link's opener failing after the press does not bring its address back.
TEST_F(XSellWindowTest, TheNoteNamesTheLinkPressedLast)
{
    Serve("xsell/test.xml", kThreeGames);
    TXSellWindow* page = Page("xsell/test.xml", "",
                              "Text{ name = 'linknote', y = 460, w = 500, h = 20, "
                              "label = 'Not opened:' }, ");
    ASSERT_NE(page, nullptr);
    Do("SetupXSell()");
    mPath.reset();
    mPath.emplace("PATH", (mBin / "none").string());
    Do("LaunchGameLink(2)");
    EXPECT_EQ(TextOf("linknote"), "Not opened: https://a.test/2");
    // The opener there again: this press's answer comes later.
    mPath.reset();
    mPath.emplace("PATH", mBin.Path().string());
    Do("LaunchGameLink(3)");
    EXPECT_FALSE(Shown("linknote"));
    page->SayNotOpened("https://a.test/2");
    EXPECT_FALSE(Shown("linknote"));
    page->SayNotOpened("https://a.test/3");
    EXPECT_TRUE(Shown("linknote"));
    EXPECT_EQ(TextOf("linknote"), "Not opened: https://a.test/3");
    EXPECT_EQ(Opened(1), (std::vector<std::string>{"https://a.test/3"}));
}

TEST_F(XSellWindowTest, APressOnALinkFiresItsButton)
{
    Serve("xsell/test.xml", kThreeGames);
    ASSERT_NE(Page("xsell/test.xml", "autoexpand = true, "), nullptr);
    Do("SetupXSell()");
    Paint();
    // The third description's link is drawn red: press on one of its pixels.
    TRect text = Find("descrip3")->GetScreenRect();
    int found = -1;
    for (int y = text.top; y < text.bottom && found < 0; ++y)
        for (int x = text.left; x < text.right && found < 0; ++x)
            if ((Pixel(x, y) & 0xFF0000) > 0xC00000 && (Pixel(x, y) & 0xFF00) < 0x4000)
                found = y * 800 + x;
    ASSERT_GE(found, 0) << "the link is drawn in its colour";
    Mouse(kEventLeftDown, found % 800, found / 800);
    Mouse(kEventLeftUp, found % 800, found / 800);
    Tick();
    Tick();
    EXPECT_EQ(Opened(1), (std::vector<std::string>{"https://a.test/3"}));
}

TEST_F(XSellWindowTest, BadContentAndLostWindowsOpenAndBreakNothing)
{
    Serve("xsell/notxml.xml", "this is <<< not xml");
    Serve("xsell/noxsell.xml", "<other><gameinfo description=\"x\"/></other>");
    std::string nine = "<xsell>";
    for (int n = 1; n <= 9; ++n)
        nine += "<gameinfo description=\"G" + std::to_string(n) + "\" link=\"https://a.test/" +
                std::to_string(n) + "\"/>";
    Serve("xsell/nine.xml", nine + "<gameinfo/></xsell>");
    for (const char* config : {"xsell/missing.xml", "xsell/notxml.xml", "xsell/noxsell.xml"})
    {
        ASSERT_NE(Page(config), nullptr);
        Do("SetupXSell()");
        EXPECT_FALSE(Shown("descrip1")) << config << ": no games";
        EXPECT_FALSE(Shown("gamesite")) << config;
        Do("LaunchGameLink(1) LaunchGameLink(0)");
        Close();
        EXPECT_EQ(Find("xsell"), nullptr);
    }

    // Nine games: the last two (and an empty one) are outside the format and left out; a button
    // where a text belongs is passed over.
    TXSellWindow* page = Page("xsell/nine.xml", "",
                              "Button{ name = 'descrip9' }, Button{ name = 'xsellbutton9' }, ");
    ASSERT_NE(page, nullptr);
    Do("SetupXSell()");
    EXPECT_STREQ(page->GetGameLink(6).c_str(), "https://a.test/7");
    EXPECT_EQ(TextOf("descrip7"), "G7");
    EXPECT_FALSE(Shown("descrip8")) << "seven games at the most";
    EXPECT_EQ(Opened(0), std::vector<std::string>{}) << "nothing opened by the bad files";

    // A kept copy of a function whose window is gone raises a script error instead.
    Do("gKept = SetupXSell");
    Close();
    EXPECT_EQ(Global("SetupXSell"), "nil");
    EXPECT_EQ(Global("LaunchGameLink"), "nil");
    Do("gOk, gError = pcall(gKept)");
    EXPECT_EQ(Global("gOk"), "false");
    EXPECT_NE(Global("gError").find("no longer exists"), std::string::npos) << Global("gError");
}

TEST(XSellLinkTest, TheServicesLinkHandsTheToolkitTheCreator)
{
    LinkServicesToPlatform();
    EXPECT_EQ(GetCrossSellCreator(), &TXSellWindow::Create);
    UnlinkServicesFromPlatform();
    EXPECT_EQ(GetCrossSellCreator(), nullptr);
}

} // namespace
