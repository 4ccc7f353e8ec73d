// The asset cache: sharing while held, dead entries, device loss and restore in name order.
#include "platform/files/asset_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

std::vector<std::string> gEvents;

class TTestAsset : public TAsset
{
public:
    explicit TTestAsset(std::string name) : mName(std::move(name)) {}
    const char* GetClassName() const override { return "TTestAsset"; }
    bool IsKindOf(TAssetClassId id) const override
    {
        return id == GetClassId() || TAsset::IsKindOf(id);
    }
    void OnDeviceLost() override { gEvents.push_back("lost " + mName); }
    void OnDeviceRestore() override { gEvents.push_back("restore " + mName); }
    static TAssetClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }
    std::string mName;
};

// A loader as the asset classes write them: reuse a live asset, else load and register.
int gLoads = 0;
std::shared_ptr<TTestAsset> Load(TAssetManager& manager, const TString& name)
{
    std::shared_ptr<TAsset> cached = manager.GetAsset(name);
    if (cached && cached->IsKindOf(TTestAsset::GetClassId()))
        return std::static_pointer_cast<TTestAsset>(cached);
    ++gLoads;
    auto asset = std::make_shared<TTestAsset>(name.c_str());
    manager.AddAsset(name, asset);
    return asset;
}

} // namespace

TEST(AssetManager, ClassIdsAndNames)
{
    TTestAsset asset("a");
    EXPECT_TRUE(asset.IsKindOf(TTestAsset::GetClassId()));
    EXPECT_TRUE(asset.IsKindOf(TAsset::GetClassId()));
    EXPECT_NE(TAsset::GetClassId(), TTestAsset::GetClassId());
    TAsset base;
    EXPECT_FALSE(base.IsKindOf(TTestAsset::GetClassId()));
    EXPECT_STREQ(base.GetClassName(), "TAsset");
    EXPECT_STREQ(asset.GetClassName(), "TTestAsset");
}

TEST(AssetManager, SameNameIsSharedWhileHeldAndLoadedAnewAfterwards)
{
    TAssetManager manager;
    gLoads = 0;
    auto first = Load(manager, "tex/a.png");
    auto second = Load(manager, "tex/a.png");
    EXPECT_EQ(first, second);
    EXPECT_EQ(gLoads, 1);
    // Names are not lower-cased.
    auto other = Load(manager, "TEX/A.png");
    EXPECT_NE(other, first);
    EXPECT_EQ(gLoads, 2);

    first.reset();
    second.reset();
    EXPECT_EQ(manager.GetAsset("tex/a.png"), nullptr);
    Load(manager, "tex/a.png");
    EXPECT_EQ(gLoads, 3);
}

TEST(AssetManager, UnknownNameLeavesAnEmptyEntry)
{
    TAssetManager manager;
    EXPECT_EQ(manager.GetAssetCount(), 0);
    EXPECT_EQ(manager.GetAsset("nothing"), nullptr);
    EXPECT_EQ(manager.GetAssetCount(), 1);
    manager.RemoveAsset("nothing");
    EXPECT_EQ(manager.GetAssetCount(), 0);
}

TEST(AssetManager, AddAssetReplacesTheNamesTarget)
{
    TAssetManager manager;
    auto a = std::make_shared<TTestAsset>("a");
    auto b = std::make_shared<TTestAsset>("b");
    manager.AddAsset("x", a);
    manager.AddAsset("x", b);
    EXPECT_EQ(manager.GetAsset("x"), b);
    EXPECT_EQ(manager.GetAssetCount(), 1);
}

TEST(AssetManager, ReleaseAllTellsLiveAssetsAndPrunesDeadOnes)
{
    TAssetManager manager;
    gEvents.clear();
    auto b = std::make_shared<TTestAsset>("b");
    auto a = std::make_shared<TTestAsset>("a");
    manager.AddAsset("b", b);
    manager.AddAsset("a", a);
    {
        auto dead = std::make_shared<TTestAsset>("c");
        manager.AddAsset("c", dead);
    }
    manager.RestoreAll();
    EXPECT_EQ(gEvents, (std::vector<std::string>{"restore a", "restore b"}));
    EXPECT_EQ(manager.GetAssetCount(), 3);
    gEvents.clear();
    manager.ReleaseAll();
    EXPECT_EQ(gEvents, (std::vector<std::string>{"lost a", "lost b"}));
    EXPECT_EQ(manager.GetAssetCount(), 2);
}

TEST(AssetManager, AssetThatDiesDuringReleaseMayRemoveItsOwnName)
{
    class TSelfRemoving : public TAsset
    {
    public:
        TSelfRemoving(TAssetManager& manager, std::shared_ptr<TAsset>& holder)
            : mManager(manager), mHolder(holder)
        {
        }
        ~TSelfRemoving() override { mManager.RemoveAsset("self"); }
        void OnDeviceLost() override
        {
            mManager.RemoveAsset("next");
            mHolder.reset();
        }
        TAssetManager& mManager;
        std::shared_ptr<TAsset>& mHolder;
    };
    TAssetManager manager;
    std::shared_ptr<TAsset> holder;
    holder = std::make_shared<TSelfRemoving>(manager, holder);
    auto next = std::make_shared<TTestAsset>("next");
    manager.AddAsset("self", holder);
    manager.AddAsset("next", next);
    manager.ReleaseAll();
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(manager.GetAssetCount(), 0);
}

TEST(AssetManager, ApplicationManagerIsRegistered)
{
    EXPECT_EQ(GetAssetManager(), nullptr);
    {
        TAssetManager manager;
        SetAssetManager(&manager);
        EXPECT_EQ(GetAssetManager(), &manager);
    }
    EXPECT_EQ(GetAssetManager(), nullptr);
}
