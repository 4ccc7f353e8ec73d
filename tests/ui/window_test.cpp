// The window tree without a manager: placement from styles (anchors, alignment, fill, negative
// sizes, the two passes, numbers no int holds), id text, flags, visibility, hit testing, fitting.
#include "ui_test_support.h"

#include <vector>

namespace
{

using uitest::StyleState;

class PlacementTest : public ::testing::Test
{
protected:
    PlacementTest()
    {
        mParent.SetSize(800, 600);
        mChild = new TWindow();
        mParent.AddChild(mChild, false);
    }

    TRect Place(const std::string& style)
    {
        auto table = mStyles.Wrap(style);
        TWindowStyle s(table.get());
        mChild->ReadPlacement(s);
        return mChild->GetRect();
    }

    StyleState mStyles;
    TWindow mParent;
    TWindow* mChild;
};

TEST_F(PlacementTest, AnchorsAlignmentAndFill)
{
    EXPECT_EQ(Place("{x = 80000, w = 201, h = 1}"), TRect(300, 0, 501, 1));
}

TEST_F(PlacementTest, FarEdgeAfterRightAlignment)
{
    EXPECT_EQ(Place("{x = 160000 - 10, w = 100, h = 1, align = 2}"), TRect(690, 0, 790, 1));
}

TEST_F(PlacementTest, FillToFarEdge)
{
    EXPECT_EQ(Place("{x = 10, w = 160000, h = 1}"), TRect(10, 0, 800, 1));
}

TEST_F(PlacementTest, NegativeCoordinateCountsFromFarEdgeOnlyWithoutAlign)
{
    EXPECT_EQ(Place("{x = -50, w = 20, h = 1}"), TRect(750, 0, 770, 1));
    TWindow* other = new TWindow();
    mParent.AddChild(other, false);
    auto table = mStyles.Wrap("{x = -50, w = 20, h = 1, align = 0}");
    TWindowStyle style(table.get());
    other->ReadPlacement(style);
    EXPECT_EQ(other->GetRect(), TRect(-50, 0, -30, 1));
}

TEST_F(PlacementTest, NegativeSizeEndsAtCoordinate)
{
    EXPECT_EQ(Place("{x = 500, w = -100, y = 300, h = -50}"), TRect(400, 250, 500, 300));
}

TEST_F(PlacementTest, EncodedCoordinateWithZeroSizeOrParentWaits)
{
    EXPECT_EQ(Place("{x = 80000, y = 5}"), TRect());
    mParent.SetSize(0, 600);
    EXPECT_EQ(Place("{x = 10, w = -5, h = 3}"), TRect());
}

TEST_F(PlacementTest, SecondPassPlacesWhatFirstLeftAndMovesNothing)
{
    auto table = mStyles.Wrap("{x = 80000, y = 80000, fit = true}");
    TWindowStyle style(table.get());
    mChild->Init(style);
    EXPECT_EQ(mChild->GetRect(), TRect());
    auto* grandchild = new TWindow();
    grandchild->SetPosition(0, 0);
    grandchild->SetSize(100, 40);
    mChild->AddChild(grandchild, false);
    mChild->PostInit(style);
    EXPECT_EQ(mChild->GetRect(), TRect(350, 280, 450, 320));

    // Placed once, a window stays where it is when its parent changes size.
    mParent.SetSize(1000, 1000);
    mChild->PostInit(style);
    EXPECT_EQ(mChild->GetRect(), TRect(350, 280, 450, 320));
}

TEST_F(PlacementTest, NumbersNoIntHoldsAndUndefinedSpansAreSafe)
{
    // NaN reads as 0; a huge y saturates and is measured from the far edge in 64 bits, the
    // result held to 2^29.
    EXPECT_EQ(Place("{x = 0/0, w = 7, y = 1e300, h = 10}"), TRect(0, 1 << 29, 7, (1 << 29) + 10));
    // A size below -80000 with a plain coordinate has no placement: that axis stays unplaced.
    TWindow* other = new TWindow();
    mParent.AddChild(other, false);
    auto table = mStyles.Wrap("{x = 10, w = -90000, y = 20, h = 30}");
    TWindowStyle style(table.get());
    other->ReadPlacement(style);
    EXPECT_EQ(other->GetRect(), TRect(0, 20, 0, 50));
}

TEST(WindowTest, IdTextIsSpacePaddedLowerHex)
{
    TWindow a;
    TWindow b;
    EXPECT_EQ(b.GetId(), a.GetId() + 1);
    std::string hex;
    for (uint32_t v = a.GetId(); v != 0 || hex.empty(); v >>= 4)
        hex.insert(hex.begin(), "0123456789abcdef"[v & 15]);
    EXPECT_EQ(std::string(a.GetIdString().c_str()), std::string(8 - hex.size(), ' ') + hex);
}

TEST(WindowTest, SetFlagsReplacesOnlyTheMiddleByte)
{
    TModalWindow modal;
    EXPECT_EQ(modal.GetFlags(), 0x103u);
    modal.SetFlags(0xFFFF0000u);
    EXPECT_EQ(modal.GetFlags(), 0x3u);
    EXPECT_FALSE(modal.IsShown());
    TScreen screen;
    EXPECT_EQ(screen.GetFlags(), 0x907u);
    EXPECT_EQ(std::string(screen.GetName().c_str()), "_screen_");
    EXPECT_TRUE(screen.IsKindOf(TModalWindow::GetClassId()));
    EXPECT_TRUE(screen.IsKindOf(TWindow::GetClassId()));
    EXPECT_FALSE(modal.IsKindOf(TScreen::GetClassId()));
}

TEST(WindowTest, ShownOnlyUnderAVisibleModal)
{
    TWindow loose;
    EXPECT_FALSE(loose.IsShown());
    TModalWindow modal;
    auto* mid = new TWindow();
    auto* leaf = new TWindow();
    modal.AddChild(mid, false);
    mid->AddChild(leaf, false);
    EXPECT_TRUE(leaf->IsShown());
    mid->SetFlags(0);
    EXPECT_FALSE(leaf->IsShown());
    EXPECT_EQ(leaf->FindModalParent(), &modal);
}

TEST(WindowTest, HitTestDepthAndStacking)
{
    TModalWindow modal;
    modal.SetSize(100, 100);
    auto* back = new TWindow();
    back->SetSize(50, 50);
    auto* front = new TWindow();
    front->SetPosition(10, 10);
    front->SetSize(10, 10);
    modal.AddChild(back, false);
    modal.AddChild(front, false);
    EXPECT_EQ(modal.HitTest({12, 12}, UINT32_MAX), front);
    EXPECT_EQ(modal.HitTest({30, 30}, UINT32_MAX), back);
    EXPECT_EQ(modal.HitTest({12, 12}, 1), nullptr);
    EXPECT_EQ(modal.HitTest({80, 80}, 1), &modal);
    EXPECT_EQ(modal.HitTest({80, 80}, 0), nullptr);
    front->SetFlags(0);
    EXPECT_EQ(modal.HitTest({12, 12}, UINT32_MAX), back);
}

TEST(WindowTest, FitGrowsNeverShrinksAndFindChildRespectsDepth)
{
    TWindow w;
    w.SetSize(10, 500);
    auto* child = new TWindow();
    child->SetPosition(30, 5);
    child->SetSize(20, 5);
    child->SetName("kid");
    child->SetFlags(0);
    w.AddChild(child, false);
    w.FitToChildren();
    EXPECT_EQ(w.GetRect(), TRect(0, 0, 50, 500));
    EXPECT_EQ(w.FindChild("kid", 0), nullptr);
    EXPECT_EQ(w.FindChild("kid", 1), child);
}

class RefusingWindow : public TWindow
{
public:
    bool OnAttach() override { return false; }
};

// A screen of a hundred thousand buttons: each insertion checks membership without walking the
// list, and a child added twice is still held once.
TEST(WindowTest, ManyChildrenAreAddedOnceEach)
{
    TWindow parent;
    std::vector<TWindow*> children;
    for (int i = 0; i < 100000; ++i)
    {
        children.push_back(new TWindow());
        ASSERT_TRUE(parent.AddChild(children.back(), false));
    }
    EXPECT_TRUE(parent.AddChild(children[500], false));
    EXPECT_EQ(parent.GetChildren().size(), 100000u);
    EXPECT_EQ(parent.GetChildren().front(), children.back());
    EXPECT_EQ(parent.RemoveChild(children[500]), &parent);
    EXPECT_EQ(parent.GetChildren().size(), 99999u);
    // Taken out, it may come back, on top.
    EXPECT_TRUE(parent.AddChild(children[500], false));
    EXPECT_EQ(parent.GetChildren().front(), children[500]);
    EXPECT_EQ(parent.GetChildren().size(), 100000u);
}

TEST(WindowTest, RefusedAttachmentLeavesNoLink)
{
    TWindow parent;
    auto* child = new RefusingWindow();
    EXPECT_FALSE(parent.AddChild(child, true));
    EXPECT_EQ(child->GetParent(), nullptr);
    EXPECT_TRUE(parent.GetChildren().empty());
    delete child;
}

} // namespace
