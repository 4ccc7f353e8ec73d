// TXSellWindow: the page of the publisher's other games. Its child windows come from the screen's
// script; "SetupXSell" fills them from an XML content file and "LaunchGameLink" opens a game's or
// the site's web page. The toolkit creates it by the window type "XSellWindow".
#pragma once

#include "platform/strings/tstring.h"
#include "ui/window.h"

#include <array>
#include <cstdint>
#include <set>
#include <string>

class TXSellWindow : public TWindow
{
public:
    static constexpr int kGameCount = 7;

    // Binds "SetupXSell" and "LaunchGameLink" on the window script to the new window.
    TXSellWindow();
    ~TXSellWindow() override;

    // The creator the services hand the toolkit; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId() { return reinterpret_cast<TClassId>(&TXSellWindow::Create); }

    const char* GetClassName() const override { return "TXSellWindow"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    // The window's own keys (name, placement), then "config" and "autoexpand".
    void Init(TWindowStyle& style) override;

    // Fills the page from the content file; missing files, elements and children are passed over
    // without a word.
    void SetupXSell();
    // Opens the site's page for 0 and game n's for 1 to 7; anything else, or no number, opens
    // nothing. The page opened last is not opened again within a double click's time.
    void LaunchGameLink(const char* number);

    // Shows the "linknote" text, the words it was made with and the address: the player sees
    // that the page did not open, and where it lies. Only for the page opened last: a press on
    // a link hides the note until its own opener fails.
    void SayNotOpened(const std::string& url);

    const TString& GetGameLink(int n) const { return mGameLinks[static_cast<size_t>(n)]; }
    const TString& GetSiteLink() const { return mSiteLink; }
    const TString& GetConfigFile() const { return mConfigFile; }
    bool GetAutoExpand() const { return mAutoExpand; }

private:
    void Hide(const TString& name);
    // Keeps the "linknote" text's words and hides it, once.
    void TakeNoteLead();
    // Moves the window so that its given position becomes its centre, once.
    void Reanchor(const TString& name);

    // Games 1 to 7.
    std::array<TString, kGameCount> mGameLinks;
    TString mSiteLink;
    TString mConfigFile = "xsell/xsell.xml";
    bool mAutoExpand = false;
    // The page opened last, and when: a double click on a link asks for it once.
    TString mLastOpened;
    uint32_t mLastOpenedTime = 0;
    // What the "linknote" text said before an address was put after it.
    TString mNoteLead;
    bool mNoteLeadTaken = false;
    // The windows already re-anchored, by id: a second setup leaves them where the first put them.
    std::set<uint32_t> mReanchored;
};
