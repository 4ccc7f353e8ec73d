// Scenes built from tables by a test factory, with sounds on the manual audio output: the depth
// order, kind lists and parent links, the frame operations in the runner's order, the saved
// bytes and their refusal when short, pending animations, the areas' reveal and the sliced
// texture pass.
#include "framework/adventure/scene/gameplay_scene.h"

#include "framework/adventure/entities/gameplay_sound.h"
#include "framework/adventure/entities/entity_test_support.h"
#include "framework/adventure/scene/scene_test_support.h"
#include "framework/audio_test_support.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_manager.h"
#include "render/renderer/draw_spec.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
using scenetest::Log;

const char kInfo[] = "{ layerinfo = {}, textinfo = {}, iteminfo = {}, areainfo = {} }";

class SceneTest : public fwtest::AudioTest
{
protected:
    void SetUp() override
    {
        AudioTest::SetUp();
        Start("2,a,1,b,2", {100, 100});
        At(0);
    }
    std::unique_ptr<TLuaTable> Table(const std::string& lua)
    {
        mScript.DoLuaString(("_t = " + lua).c_str());
        return std::unique_ptr<TLuaTable>(mScript.GetGlobalTable("_t"));
    }
    std::unique_ptr<GameplayScene> Make(const std::string& scene,
                                        const std::string& sceneInfo = "{}",
                                        const std::string& playlist = "{}")
    {
        auto sceneTable = Table(scene);
        auto info = Table(kInfo);
        auto sceneInfoTable = Table(sceneInfo);
        auto playlistTable = Table(playlist);
        return std::make_unique<GameplayScene>(mFactory, *info, "hall", *sceneTable,
                                               playlistTable.get(), *sceneInfoTable);
    }
    static std::vector<std::string> Names(const GameplayScene& scene)
    {
        std::vector<std::string> names;
        for (const auto& entity : scene.GetEntities())
            names.push_back(entity->GetName().c_str());
        return names;
    }
    // Only the entries that begin with `what`.
    std::vector<std::string> Taken(const std::string& what)
    {
        std::vector<std::string> taken;
        for (const std::string& line : mLog)
            if (line.rfind(what, 0) == 0)
                taken.push_back(line);
        mLog.clear();
        return taken;
    }
    bool Logged(const std::string& part) const { return Log().find(part) != std::string::npos; }

    TransformManager mTransforms;
    TScript mScript;
    scenetest::Log mLog;
    scenetest::TestFactory mFactory{mLog};
};

// Two sounds and three probes of 1, 3 and 1 saved bytes, with a dialog.
const char kSaved[] =
    "{ dialog = 'intro', sounds = { { name = 's1', sounds = { 'a' } }, "
    "{ name = 's2', sounds = { 'b' }, loop = true } }, entities = { "
    "{ name = 'e1', depth = 3 }, { name = 'e2', depth = 2, size = 3 }, { name = 'e3', depth = 1 } "
    "} }";

TEST_F(SceneTest, ConstructionOrdersListsAndLinks)
{
    auto scene = Make(
        "{ dialog = 'intro', entities = { { name = 'a', depth = 5 }, { name = 'b', depth = 10 }, "
        "{ name = 'c', depth = 10 }, { name = 'd', depth = 1 }, { name = 'n', depth = -1 }, "
        "{ kind = 'item', name = 'key', inventoryparts = { 1 } }, { kind = 'area', events = {}, "
        "name = 'door' "
        "}, "
        "{ kind = 'layer', name = 'l1', parentlayer = 'l2' }, "
        "{ kind = 'layer', name = 'l2', parentlayer = 'gone' }, "
        "{ kind = 'text', name = 't', parentlayer = 'l1', text = {} }, "
        "{ kind = 'layer', name = 'c1', parentlayer = 'c2' }, "
        "{ kind = 'layer', name = 'c2', parentlayer = 'c1' }, "
        "{ kind = 'particle', name = 'smoke' }, { name = 'fake', type = 40 } } }",
        "{ showareadelay = 250.7, showareapredelay = 500 }",
        "{ hall = { 'track1', 'track2' }, yard = { 'other' } }");
    // Greater first as unsigned numbers: -1 before everything; equal depths keep their order.
    const std::vector<std::string> names = Names(*scene);
    ASSERT_GE(names.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 5),
              (std::vector<std::string>{"n", "b", "c", "a", "d"}));
    EXPECT_EQ(scene->GetItems().size(), 1u); // "fake" says 40 but is no item
    EXPECT_EQ(scene->GetAreas().size(), 1u);
    EXPECT_EQ(scene->GetLayers().size(), 5u);
    EXPECT_EQ(scene->GetParticles().size(), 1u);
    EXPECT_EQ(scene->FindLayer("t")->GetType(), 60u);
    EXPECT_EQ(scene->FindItem("key"), scene->GetItems().front());
    EXPECT_EQ(scene->FindArea("door"), scene->GetAreas().front());
    EXPECT_EQ(scene->FindParticle("smoke"), scene->GetParticles().front());
    EXPECT_EQ(scene->FindItem("door"), nullptr);
    EXPECT_EQ(scene->FindLayer("l1")->GetParent(), scene->FindLayer("l2"));
    EXPECT_EQ(scene->FindLayer("l2")->GetParent(), nullptr);
    EXPECT_EQ(scene->FindLayer("t")->GetParent(), scene->FindLayer("l1"));
    EXPECT_EQ(scene->FindLayer("c1")->GetParent(), scene->FindLayer("c2"));
    EXPECT_EQ(scene->FindLayer("c2")->GetParent(), nullptr); // the link closing the cycle
    EXPECT_STREQ(scene->GetName().c_str(), "hall");
    EXPECT_STREQ(scene->GetDialog().c_str(), "intro");
    EXPECT_EQ(scene->GetAreaRevealStep(), 250);
    EXPECT_EQ(scene->GetAreaRevealStart(), 500);
    EXPECT_EQ(scene->GetPlaylist(), (std::vector<TString>{"track1", "track2"}));
    EXPECT_FALSE(scene->IsRevealPending());
    EXPECT_STREQ(scene->GetCursorName().c_str(), "default");

    // Nothing to read: no dialog, no sounds, no playlist, nothing reported.
    auto bare = Make("{}", "{}", "{ yard = {} }");
    EXPECT_TRUE(bare->GetEntities().empty());
    EXPECT_TRUE(bare->GetSounds().empty());
    EXPECT_TRUE(bare->GetPlaylist().empty());
    EXPECT_STREQ(bare->TakeDialog().c_str(), "");
    auto info = Table(kInfo);
    auto empty = Table("{}");
    GameplayScene noPlaylist(mFactory, *info, "hall", *empty, nullptr, *empty);
    EXPECT_TRUE(noPlaylist.GetPlaylist().empty());
}

TEST_F(SceneTest, SoundsTakeTheScenesGroup)
{
    auto scene = Make("{ sounds = { { name = 'owl', sounds = { 'a' }, groupid = 5 }, 'junk', "
                      "{ name = 'wind', sounds = { 'b' } } } }",
                      "{ groupid = 1003 }");
    ASSERT_EQ(scene->GetSounds().size(), 2u);
    EXPECT_TRUE(Logged("sound entry '2' is no table"));
    GameplaySound* owl = scene->FindSound("owl");
    ASSERT_NE(owl, nullptr);
    EXPECT_STREQ(owl->GetSoundEffect().mSpecifiers.front().c_str(), "a?group=1003");
    EXPECT_EQ(scene->FindSound("wind")->GetType(), 10u);
    EXPECT_EQ(scene->FindSound("gone"), nullptr);
    auto ungrouped = Make("{ sounds = { { name = 'owl', sounds = { 'a' } } } }");
    EXPECT_STREQ(ungrouped->FindSound("owl")->GetSoundEffect().mSpecifiers.front().c_str(), "a");
}

TEST_F(SceneTest, FramesInTheRunnersOrder)
{
    auto scene = Make("{ sounds = { { name = 'owl', sounds = { 'a' }, initialdelay = 100 } }, "
                      "entities = { { name = 'x', depth = 1 }, { name = 'y', depth = 2 } } }");
    GameplaySound* owl = scene->FindSound("owl");
    owl->Activate(true, nullptr);
    scene->Update(40, false, true); // hidden: entities run, the sound waits
    EXPECT_EQ(owl->GetSoundEffect().mPending, 100);
    EXPECT_EQ(Taken("update"), (std::vector<std::string>{"update y", "update x"}));
    scene->Update(40, true, false);
    EXPECT_EQ(owl->GetSoundEffect().mPending, 60);
    mLog.clear();

    scene->Draw(TDrawSpec());
    scene->DrawEffects(TDrawSpec());
    EXPECT_EQ(mLog, (std::vector<std::string>{"draw y", "draw x", "effects y", "effects x"}));
    mLog.clear();
    EXPECT_FALSE(scene->OnMouseDown(TPoint()));
    EXPECT_FALSE(scene->OnMouseUp(TPoint()));

    scene->Update(60, true, true);
    ASSERT_TRUE(owl->IsPlaying());
    scene->Pause(false);
    EXPECT_EQ(Taken("pause"), (std::vector<std::string>{"pause y", "pause x"}));
    EXPECT_EQ(Entry(1).mState, SoundEntry::kPlaying);
    scene->Pause(true);
    EXPECT_EQ(Entry(1).mState, SoundEntry::kPaused);
    scene->Resume(false);
    EXPECT_EQ(Taken("resume"), (std::vector<std::string>{"resume y", "resume x"}));
    EXPECT_EQ(Entry(1).mState, SoundEntry::kPaused);
    scene->Resume(true);
    EXPECT_EQ(Entry(1).mState, SoundEntry::kPlaying);

    scene->OnLeave();
    EXPECT_EQ(Entry(1).mState, SoundEntry::kPaused);
    scene->OnEnter();
    EXPECT_EQ(Entry(1).mState, SoundEntry::kPlaying);
    EXPECT_TRUE(scene->IsRevealPending());
    scene->LoadTextures();
    scene->ReleaseTextures();
    EXPECT_EQ(Taken("load").size(), 2u);
}

TEST_F(SceneTest, ResumeSoundsRestartsOnlyLoopsThatStopped)
{
    auto scene = Make("{ sounds = { { name = 'loop', sounds = { 'a' }, loop = true, delay = 50 }, "
                      "{ name = 'once', sounds = { 'b' } } } }");
    GameplaySound* loop = scene->FindSound("loop");
    GameplaySound* once = scene->FindSound("once");
    loop->Activate(true, nullptr);
    once->Activate(true, nullptr);
    uint32_t now = 0;
    auto run = [&](int frames)
    {
        for (int i = 0; i < frames; ++i)
        {
            now += 10;
            scene->Update(10, true, true);
            Frame(now);
        }
    };
    run(8);
    ASSERT_TRUE(loop->IsPlaying());
    // Paused with the scene, both come back where they were.
    scene->OnLeave();
    scene->OnEnter();
    EXPECT_EQ(Entry(1).mState, SoundEntry::kPlaying);
    run(12);
    // The one-shot set ended; the loop's sound was stopped without its end being told.
    once->SetFlags(GameplayEntity::kActive);
    loop->ReleaseTextures();
    ASSERT_FALSE(loop->IsPlaying());
    ASSERT_FALSE(once->IsPlaying());
    scene->ResumeSounds();
    EXPECT_EQ(loop->GetSoundEffect().mPending, 50); // started again after its delay
    EXPECT_EQ(once->GetSoundEffect().mPending, -1); // stays silent
    run(10);
    EXPECT_TRUE(loop->IsPlaying());
    EXPECT_FALSE(once->IsPlaying());
}

TEST_F(SceneTest, SavedBytesFollowTheLayout)
{
    auto scene = Make(kSaved);
    ASSERT_TRUE(scene->AddPendingAnimation(3));
    ASSERT_TRUE(scene->AddPendingAnimation(7));
    scene->FindSound("s1")->SetFlags(1);
    const std::vector<std::shared_ptr<GameplayEntity>>& entities = scene->GetEntities();
    entities[0]->SetFlags(5);
    entities[1]->SetFlags(6);
    entities[2]->SetFlags(7);
    std::vector<uint8_t> saved;
    scene->SaveState(saved);
    EXPECT_EQ(saved, (std::vector<uint8_t>{1, 2, 3, 7, 1, 0, 5, 6, 0xA1, 0xA2, 7}));
    EXPECT_EQ(scene->GetStateSize(), 11u);
    EXPECT_EQ(scene->MeasureState(saved.data(), saved.size()), 11u);
    EXPECT_EQ(scene->MeasureState(saved.data(), saved.size() + 5), 11u);

    // Read back by a scene built anew from the same tables.
    auto again = Make(kSaved);
    ASSERT_TRUE(again->LoadState(saved.data(), saved.size()));
    std::vector<uint8_t> resaved;
    again->SaveState(resaved);
    EXPECT_EQ(resaved, saved);
    EXPECT_STREQ(again->GetDialog().c_str(), "intro");
    EXPECT_EQ(again->TakePendingAnimations(), (std::vector<uint8_t>{7, 3}));
    EXPECT_TRUE(again->GetPendingAnimations().empty());

    // A first byte of 0 clears the dialog.
    saved[0] = 0;
    auto silent = Make(kSaved);
    ASSERT_TRUE(silent->LoadState(saved.data(), saved.size()));
    EXPECT_STREQ(silent->TakeDialog().c_str(), "");
}

TEST_F(SceneTest, LayersItemsAndSoundsComeBack)
{
    const char kinds[] = "{ sounds = { { name = 's', sounds = { 'a' }, loop = true } }, "
                         "entities = { { kind = 'layer', name = 'l', depth = 3 }, "
                         "{ kind = 'item', name = 'found', inventoryparts = { 1 }, depth = 2 }, "
                         "{ kind = 'item', name = 'shown', inventoryparts = { 1 }, depth = 1 } } }";
    auto scene = Make(kinds);
    scene->FindSound("s")->SetFlags(GameplayEntity::kActive);
    scene->FindLayer("l")->Activate(false, nullptr);
    scene->FindItem("found")->SetFlags(GameplayItem::kFound | GameplayItem::kOverlayPass);
    const uint8_t scenePass = GameplayItem::kScenePass;
    scene->FindItem("shown")->SetFlags(scenePass | GameplayEntity::kShown);
    std::vector<uint8_t> saved;
    scene->SaveState(saved);
    ASSERT_EQ(saved.size(), 6u);

    auto again = Make(kinds);
    ASSERT_TRUE(again->LoadState(saved.data(), saved.size()));
    EXPECT_EQ(again->FindSound("s")->GetFlags(), GameplayEntity::kActive);
    EXPECT_EQ(again->FindLayer("l")->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);
    EXPECT_EQ(again->FindLayer("l")->GetTransform().GetAlpha(), 1.0f);
    EXPECT_EQ(again->FindItem("found")->GetFlags(),
              GameplayItem::kFound | GameplayItem::kOverlayPass);
    EXPECT_EQ(again->FindItem("shown")->GetFlags(),
              scenePass | GameplayEntity::kShown | GameplayEntity::kActive);
}

TEST_F(SceneTest, ShortOrDamagedRecordsChangeNothing)
{
    auto source = Make(kSaved);
    source->AddPendingAnimation(9);
    source->FindSound("s2")->SetFlags(1);
    source->GetEntities()[1]->SetFlags(0x42);
    std::vector<uint8_t> saved;
    source->SaveState(saved);
    ASSERT_EQ(saved.size(), 10u);

    auto scene = Make(kSaved);
    std::vector<uint8_t> before;
    scene->SaveState(before);
    for (size_t size = 0; size < saved.size(); ++size)
    {
        EXPECT_EQ(scene->MeasureState(saved.data(), size), 0u) << size;
        EXPECT_FALSE(scene->LoadState(saved.data(), size)) << size;
        std::vector<uint8_t> after;
        scene->SaveState(after);
        EXPECT_EQ(after, before) << size;
    }
    EXPECT_TRUE(Logged("Scene 'hall': its saved record does not fit in 9 bytes; not restored"));
    // A count of animations running past the end.
    std::vector<uint8_t> damaged = saved;
    damaged[1] = 200;
    EXPECT_FALSE(scene->LoadState(damaged.data(), damaged.size()));
    EXPECT_FALSE(scene->LoadState(nullptr, 0));
    std::vector<uint8_t> after;
    scene->SaveState(after);
    EXPECT_EQ(after, before);

    // An entity whose block gives its own length is measured by it.
    const char variable[] = "{ entities = { { name = 'v', var = true, size = 4, depth = 2 }, "
                            "{ name = 'w', depth = 1 } } }";
    auto first = Make(variable);
    std::vector<uint8_t> record;
    first->SaveState(record);
    EXPECT_EQ(record, (std::vector<uint8_t>{0, 0, 4, 0xA1, 0xA2, 0xA3, 0}));
    record[2] = 2; // now two bytes long
    record.erase(record.begin() + 4, record.begin() + 6);
    auto second = Make(variable);
    EXPECT_EQ(second->MeasureState(record.data(), record.size()), 5u);
    ASSERT_TRUE(second->LoadState(record.data(), record.size()));
    EXPECT_EQ(second->GetStateSize(), 5u);
    record[2] = 9;
    EXPECT_EQ(second->MeasureState(record.data(), record.size()), 0u);
}

TEST_F(SceneTest, PendingAnimationsStopAt255)
{
    auto scene = Make("{}");
    for (int i = 0; i < 255; ++i)
        ASSERT_TRUE(scene->AddPendingAnimation(static_cast<uint8_t>(i)));
    EXPECT_FALSE(scene->AddPendingAnimation(99));
    EXPECT_TRUE(Logged("Scene 'hall': 255 animations are queued already; animation 99 is not"));
    std::vector<uint8_t> saved;
    scene->SaveState(saved);
    EXPECT_EQ(saved.size(), 257u);
    EXPECT_EQ(saved[1], 255);
    auto again = Make("{}");
    ASSERT_TRUE(again->LoadState(saved.data(), saved.size()));
    const std::vector<uint8_t> taken = again->TakePendingAnimations();
    ASSERT_EQ(taken.size(), 255u);
    EXPECT_EQ(taken.front(), 254);
    EXPECT_EQ(taken.back(), 0);
}

TEST_F(SceneTest, RevealAreasSkipsHoldingAndInactiveAreas)
{
    auto scene = Make(
        "{ entities = { { kind = 'area', events = {}, name = 'a' }, { kind = 'area', events = {}, "
        "name = 'b', holdableinventory = { 'lamp' } }, "
        "{ kind = 'area', events = {}, name = 'c' }, { kind = 'area', events = {}, name = 'd' }, "
        "{ kind = 'area', events = {}, name = 'e' } } }",
        "{ showareadelay = 250, showareapredelay = 500 }");
    auto object = Table("{ name = 'lamp' }");
    auto shared = Table("{}");
    GameplayInventory lamp(*object, *shared);
    for (GameplayArea* area : scene->GetAreas())
        area->SetFlags(GameplayEntity::kActive);
    scene->FindArea("b")->HoldInventory(&lamp);
    scene->FindArea("d")->SetFlags(0);
    EXPECT_STREQ(scene->FindArea("b")->GetHeldInventoryName().c_str(), "lamp");
    EXPECT_EQ(scene->FindAreaHolding(&lamp), scene->FindArea("b"));
    scene->OnEnter();
    scene->RevealAreas();
    EXPECT_FALSE(scene->IsRevealPending());
    auto flashes = [&scene](const char* name)
    { return static_cast<scenetest::RecordingArea*>(scene->FindArea(name))->mFlashes; };
    EXPECT_EQ(flashes("a"), (std::vector<int32_t>{500}));
    EXPECT_TRUE(flashes("b").empty());
    EXPECT_EQ(flashes("c"), (std::vector<int32_t>{750}));
    EXPECT_TRUE(flashes("d").empty());
    EXPECT_EQ(flashes("e"), (std::vector<int32_t>{1000}));
}

TEST_F(SceneTest, TexturePassInSlicesOf16Ms)
{
    auto scene = Make("{ entities = { { name = 'a', finish = 'ft', restore = 't' }, "
                      "{ name = 'b', finish = 'ft', restore = 'f' }, "
                      "{ name = 'c', finish = 'ft' }, { name = 'd', finish = 'ft' } } }");
    // Each answer costs 5 ms: a false and a true for a, a false and a true for b: 20 ms.
    const uint32_t start = sys::GetTimeMs();
    EXPECT_FALSE(scene->FinishTexturesStep());
    EXPECT_EQ(sys::GetTimeMs() - start, 20u);
    EXPECT_EQ(scene->GetRefreshCursor(), 2u);
    EXPECT_EQ(Taken("finish"),
              (std::vector<std::string>{"finish a", "finish a", "finish b", "finish b"}));
    EXPECT_TRUE(scene->FinishTexturesStep());
    EXPECT_EQ(scene->GetRefreshCursor(), 0u);
    EXPECT_EQ(Taken("finish").size(), 4u);
    // Answered true at once now: one slice goes round, back at the start.
    EXPECT_TRUE(scene->FinishTexturesStep());
    EXPECT_EQ(Taken("finish").size(), 4u);

    EXPECT_FALSE(scene->RestoreTextures());
    EXPECT_EQ(Taken("restore"), (std::vector<std::string>{"restore a", "restore b"}));
    EXPECT_TRUE(Make("{}")->FinishTexturesStep());
    EXPECT_TRUE(Make("{}")->RestoreTextures());
}

} // namespace

namespace
{

// A 20 x 20 object picture (whole and silhouette), registered at its top left corner.
const char kObjectXml[] =
    "<sequence name=\"lamp\"><img regx=\"0\" regy=\"0\" w=\"40\" h=\"20\" name=\"lamp.png\" "
    "mask=\"\"/><framelist>"
    "<frame x=\"0\" y=\"0\" w=\"20\" h=\"20\" regx=\"0\" regy=\"0\"/>"
    "<frame x=\"20\" y=\"0\" w=\"20\" h=\"20\" regx=\"0\" regy=\"0\"/>"
    "</framelist></sequence>";

class PlacedSceneTest : public advtest::EntityDisplayTest
{
protected:
    void SetUp() override
    {
        EntityDisplayTest::SetUp();
        Image("objects/lamp.png", 40, 20, 0xFFFFFF00u);
        File("objects/lamp.xml", kObjectXml);
    }
    std::unique_ptr<GameplayScene> Make(const std::string& scene)
    {
        auto info = Table(kInfo);
        auto sceneTable = Table(scene);
        auto sceneInfo = Table("{}");
        return std::make_unique<GameplayScene>(mFactory, *info, "hall", *sceneTable, nullptr,
                                               *sceneInfo);
    }
    std::unique_ptr<scenetest::RecordingInventory> Object(const std::string& name)
    {
        auto object = Table("{ name = '" + name + "', image = 'objects/lamp' }");
        auto shared = Table("{}");
        return std::make_unique<scenetest::RecordingInventory>(*object, *shared, mLog);
    }
    scenetest::Log mLog;
    scenetest::TestFactory mFactory{mLog};
};

TEST_F(PlacedSceneTest, PlacedObjectsAreListedOnceHitOnTheirPictureAndLetGo)
{
    auto scene = Make("{ entities = { { kind = 'area', events = {}, name = 'shelf', "
                      "holdableinventory = { 'lamp' } }, { name = 'wall' } } }");
    auto lamp = Object("lamp");
    auto key = Object("key");
    scene->AddInventory(lamp.get(), false, TVec2(100, 50), nullptr);
    scene->AddInventory(lamp.get(), false, TVec2(100, 50), nullptr);
    scene->AddInventory(key.get(), false, TVec2(110, 60), nullptr);
    ASSERT_EQ(scene->GetPlacedInventory().size(), 2u);
    ASSERT_EQ(lamp->GetRect(), TRect(100, 50, 120, 70));

    using Found = std::vector<GameplayInventory*>;
    EXPECT_EQ(scene->GetInventoryAt(TVec2(100, 50)), (Found{lamp.get()}));
    EXPECT_EQ(scene->GetInventoryAt(TVec2(119, 69)), (Found{lamp.get(), key.get()}));
    EXPECT_EQ(scene->GetInventoryAt(TVec2(120, 55)), Found{});
    EXPECT_EQ(scene->GetInventoryAt(TVec2(105, 70)), Found{});
    EXPECT_EQ(scene->GetInventoryAt(TVec2(99.5f, 55)), Found{});
    key->Unload(0); // its shown flag cleared
    EXPECT_EQ(scene->GetInventoryAt(TVec2(119, 69)), (Found{lamp.get()}));

    // Every frame updates them; drawing skips the held one.
    scene->Update(16, false, true);
    EXPECT_EQ(mLog, (std::vector<std::string>{"update inventory lamp", "update inventory key",
                                              "update wall"}));
    mLog.clear();
    lamp->Equip();
    scene->Draw(TDrawSpec());
    EXPECT_EQ(mLog, (std::vector<std::string>{"draw wall", "draw inventory key"}));

    GameplayArea* shelf = scene->FindArea("shelf");
    shelf->HoldInventory(lamp.get());
    scene->RemoveInventory(key.get()); // held by no area
    scene->RemoveInventory(lamp.get());
    EXPECT_EQ(shelf->GetHeldInventory(), nullptr);
    EXPECT_STREQ(shelf->GetHeldInventoryName().c_str(), "");
    EXPECT_TRUE(scene->GetPlacedInventory().empty());
    scene->RemoveInventory(lamp.get()); // no longer placed: nothing
}

} // namespace
