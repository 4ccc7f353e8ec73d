// The cross-sell page: its style keys, the content file read into the description texts with their
// link mark-up, the hidden empty slots, the re-anchored buttons and logos, and the opened links.
#include "services/xsell_window.h"

#include "framework/widgets/framework_button.h"
#include "platform/config/xml.h"
#include "platform/shell/application.h"
#include "script/lua_bind.h"
#include "script/window_script_seam.h"
#include "render/text/text_markup.h"
#include "ui/text_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <cmath>
#include <cstdlib>
#include <memory>

namespace
{
const char kSetupName[] = "SetupXSell";
const char kLaunchName[] = "LaunchGameLink";
const char kDefaultColour[] = "003cff";
// The description and button slots a page may hide: one past the seven games.
constexpr int kSlotCount = 8;
constexpr uint32_t kAnyDepth = 0xFFFFFFFFu;

// The page told of links that did not open: the newest page, as only one is ever up.
TXSellWindow* gNotingPage = nullptr;

TString Numbered(const char* prefix, int n)
{
    return TString::Format("%s%d", prefix, n);
}

// The "xsell" element, whether the parser's root is the document or its top element.
const TXmlNode* FindXSell(const TXmlNode& root)
{
    if (root.GetName() == "xsell")
        return &root;
    return root.FindChild("xsell");
}
} // namespace

TXSellWindow::TXSellWindow()
{
    if (lua_State* L = GetWindowScriptState())
    {
        LuaBindMember(L, kSetupName, this, &TXSellWindow::SetupXSell);
        LuaBindMember(L, kLaunchName, this, &TXSellWindow::LaunchGameLink);
    }
    gNotingPage = this;
    TApplication::SetOpenFailedListener(
        [](const std::string& url)
        {
            if (gNotingPage != nullptr)
                gNotingPage->SayNotOpened(url);
        });
}

TXSellWindow::~TXSellWindow()
{
    // A kept copy of either function then raises a script error instead of reaching a window
    // that is gone; a later page that took the names keeps them.
    if (lua_State* L = GetWindowScriptState())
    {
        LuaUnbindMemberIfBound(L, kSetupName, this);
        LuaUnbindMemberIfBound(L, kLaunchName, this);
    }
    if (gNotingPage == this)
    {
        gNotingPage = nullptr;
        TApplication::SetOpenFailedListener({});
    }
}

void TXSellWindow::TakeNoteLead()
{
    TWindow* note = FindChild("linknote", kAnyDepth);
    if (mNoteLeadTaken || note == nullptr || !note->IsKindOf(TText::GetClassId()))
        return;
    mNoteLead = static_cast<TText*>(note)->GetText();
    mNoteLeadTaken = true;
    note->ClearFlagBits(kWindowVisible);
}

void TXSellWindow::SayNotOpened(const std::string& url)
{
    TakeNoteLead();
    TWindow* note = FindChild("linknote", kAnyDepth);
    // An earlier link's opener may fail after another link was pressed: the note names the
    // link pressed last.
    if (note == nullptr || !note->IsKindOf(TText::GetClassId()) ||
        mLastOpened != TString(url.c_str()))
        return;
    auto* text = static_cast<TText*>(note);
    // The address is shown as it is, never read as mark-up.
    text->SetText(mNoteLead + " " + markup::Escape(TString(url.c_str())));
    note->AddFlagBits(kWindowVisible);
}

TWindow* TXSellWindow::Create()
{
    return new TXSellWindow();
}

void TXSellWindow::Init(TWindowStyle& style)
{
    // The page's own place and size matter to its layout, so the common keys come first.
    TWindow::Init(style);
    mConfigFile = style.GetString("config", "xsell/xsell.xml");
    mAutoExpand = style.GetBool("autoexpand", false);
}

void TXSellWindow::SetupXSell()
{
    TXmlNode root;
    root.ParseFile(mConfigFile);
    const TXmlNode* xsell = FindXSell(root);

    int games = 0;
    if (xsell != nullptr)
    {
        TXmlNode& node = const_cast<TXmlNode&>(*xsell);
        node.ResetChildCursor();
        TString name;
        TXmlNode* child = nullptr;
        while (node.GetNextChild(name, child))
        {
            // More than seven games lie outside the format: the extra ones are left out.
            if (name != "gameinfo" || games == kGameCount)
                continue;
            const int n = ++games;
            TWindow* window = FindChild(Numbered("descrip", n), kAnyDepth);
            if (window != nullptr && window->IsKindOf(TText::GetClassId()))
            {
                TString text = child->GetAttribute("description");
                TString linkText = child->GetAttribute("linktext");
                if (linkText.Length() > 0)
                {
                    TString colour = child->GetAttribute("color");
                    if (colour.Length() != 6)
                        colour = kDefaultColour;
                    text = text + " <u><font color=\"" + colour + "\"><a id='" +
                           Numbered("xsellbutton", n) + "'>" + linkText + "</a></font></u>";
                }
                static_cast<TText*>(window)->SetText(text);
            }
            mGameLinks[static_cast<size_t>(n - 1)] = child->GetAttribute("link");
        }
        if (const TXmlNode* site = xsell->FindChild("sitelink"))
            mSiteLink = site->GetAttribute("link");
        else
            Hide("gamesite");
        if (const TXmlNode* centre = xsell->FindChild("centertext"))
        {
            const char* keys[2] = {"text1", "text2"};
            for (int i = 0; i < 2; ++i)
            {
                TWindow* window = FindChild(Numbered("centertext", i + 1), kAnyDepth);
                if (window != nullptr && window->IsKindOf(TText::GetClassId()))
                    static_cast<TText*>(window)->SetText(centre->GetAttribute(keys[i]));
            }
        }
    }
    else
    {
        // Without content the site is unknown too: a button that would open nothing is hidden,
        // as it is when the file names no site.
        Hide("gamesite");
    }
    for (int n = games + 1; n <= kSlotCount; ++n)
    {
        Hide(Numbered("descrip", n));
        Hide(Numbered("xsellbutton", n));
    }
    for (int n = 1; n <= kGameCount; ++n)
        Reanchor(Numbered("xsellbutton", n));
    Reanchor("sitelogo");
    Reanchor("quillmarklogo");
    Reanchor("gamesite");
    // The note waits, hidden, for a link that does not open.
    TakeNoteLead();
}

void TXSellWindow::LaunchGameLink(const char* number)
{
    // Only a number in 0 to 7 (after truncation) names a page: nil, text and numbers outside
    // the seven games open nothing rather than reading past them.
    if (number == nullptr)
        return;
    char* end = nullptr;
    const double value = std::strtod(number, &end);
    if (end == number || *end != 0 || !std::isfinite(value))
        return;
    const double n = std::trunc(value);
    if (n < 0 || n > kGameCount)
        return;
    const TString& url =
        n == 0 ? mSiteLink : mGameLinks[static_cast<size_t>(static_cast<int>(n) - 1)];
    // An empty address would start a bare opener: nothing is opened.
    if (url.Length() == 0)
        return;
    // The second press of a double click lands on this same page, so the window manager lets it
    // through: a player would get the page twice.
    const uint32_t now = GetTimer();
    if (url == mLastOpened && now - mLastOpenedTime < TWindowManager::kDoubleClickMs)
        return;
    mLastOpened = url;
    mLastOpenedTime = now;
    // Whatever the note said was about another press; it comes back if this page fails too.
    TakeNoteLead();
    Hide("linknote");
    if (TApplication* application = TApplication::Get())
        application->OpenUrl(url.c_str());
}

void TXSellWindow::Hide(const TString& name)
{
    if (TWindow* window = FindChild(name, kAnyDepth))
        window->ClearFlagBits(kWindowVisible);
}

void TXSellWindow::Reanchor(const TString& name)
{
    TWindow* window = FindChild(name, kAnyDepth);
    if (window == nullptr || !mReanchored.insert(window->GetId()).second)
        return;
    // The layout gives centres. With "autoexpand" the rectangle is the parent's view of it;
    // without, the screen's, which is the same only for a page at the origin (as the content
    // places it).
    const TRect rect = mAutoExpand ? window->GetRect() : window->GetScreenRect();
    const int32_t x = rect.left - rect.Width() / 2;
    const int32_t y = rect.top - rect.Height() / 2;
    window->SetPosition(x, y);
    // The framework's button places its window where its position spec says at every update:
    // the spec moves with it, or the button would jump back.
    if (window->IsKindOf(TVButton::GetClassId()))
    {
        TDrawSpec& spec = static_cast<TVButton*>(window)->GetPositionSpec();
        spec.mMatrix.m[2][0] = static_cast<float>(x);
        spec.mMatrix.m[2][1] = static_cast<float>(y);
    }
}
