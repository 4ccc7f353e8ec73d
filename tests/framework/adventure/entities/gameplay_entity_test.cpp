// The entity base through a test kind and the real kinds: its keys and their conversions, the
// completion protocol, the saved byte with undefined bits, bounded loading and measuring.
#include "framework/adventure/entities/gameplay_entity.h"

#include "framework/adventure/entities/entity_test_support.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/entities/gameplay_text.h"

#include <memory>

namespace
{

// A kind that finishes every change at once.
class InstantEntity : public GameplayEntity
{
public:
    explicit InstantEntity(const TLuaTable& table) : GameplayEntity(table, 99) {}
    void Draw(const TDrawSpec&) override {}
    void DrawEffects(const TDrawSpec&) override {}
    void Pause() override {}
    void Resume() override {}
    TRect GetRect(const TDrawSpec&) override { return TRect(0, 0, 0, 0); }
    void Activate(bool animate, WaitHandle&& report) override
    {
        GameplayEntity::Activate(animate, std::move(report));
        mCompletionPending = 1;
    }
    void CreateTextures() override {}
    void ReleaseTextures() override {}
};

class EntityTest : public advtest::EntityDisplayTest
{
protected:
    std::unique_ptr<InstantEntity> Make(const std::string& lua)
    {
        return std::make_unique<InstantEntity>(*Table(lua));
    }
};

TEST_F(EntityTest, KeysDefaultsAndConversions)
{
    auto plain = Make("{}");
    EXPECT_EQ(plain->GetDepth(), 0);
    EXPECT_STREQ(plain->GetName().c_str(), "");
    EXPECT_EQ(plain->GetFlags(), 0);
    EXPECT_EQ(plain->GetType(), 99u);
    EXPECT_EQ(plain->GetStateSize(), 1u);
    EXPECT_TRUE(plain->GetTextureNames().empty());
    EXPECT_TRUE(plain->GetAnimationNames().empty());
    EXPECT_TRUE(plain->RestoreTextures());
    EXPECT_TRUE(plain->FinishTextures());

    EXPECT_EQ(Make("{ depth = 3.9, name = 'door' }")->GetDepth(), 3);
    EXPECT_STREQ(Make("{ name = 'door' }")->GetName().c_str(), "door");
    EXPECT_EQ(Make("{ depth = -2.7 }")->GetDepth(), -2);
    EXPECT_EQ(Make("{ depth = '12' }")->GetDepth(), 12);
    // Wrong types read as no number; out-of-range and NaN depths are defined.
    EXPECT_EQ(Make("{ depth = 'deep' }")->GetDepth(), 0);
    EXPECT_EQ(Make("{ depth = { 5 } }")->GetDepth(), 0);
    EXPECT_EQ(Make("{ depth = 0/0 }")->GetDepth(), 0);
    EXPECT_EQ(Make("{ depth = 1e20 }")->GetDepth(), INT32_MAX);
    EXPECT_EQ(Make("{ depth = -1e20 }")->GetDepth(), INT32_MIN);
    EXPECT_STREQ(Make("{ name = 7 }")->GetName().c_str(), "7");
}

TEST_F(EntityTest, CompletionCallbackFiresOnceFromTheNextUpdate)
{
    auto entity = Make("{}");
    advtest::CountingCallback first, second;
    entity->Activate(false, first.Report());
    EXPECT_EQ(first.mCalls, 0); // never from inside Activate
    EXPECT_EQ(entity->GetFlags(), GameplayEntity::kActive);
    entity->Update(16);
    EXPECT_EQ(first.mCalls, 1);
    entity->Update(16);
    EXPECT_EQ(first.mCalls, 1);

    // An empty report keeps the held one; a later one replaces it, and the one it replaces is
    // told at once, so that whoever counted on it is told once.
    entity->Show(false, second.Report());
    entity->Activate(false, nullptr);
    entity->Update(16);
    EXPECT_EQ(second.mCalls, 1);
    entity->Hide(false, first.Report());
    EXPECT_EQ(first.mCalls, 1);
    entity->Deactivate(false, second.Report());
    EXPECT_EQ(first.mCalls, 2);
    EXPECT_EQ(second.mCalls, 1);
    entity->Activate(false, nullptr);
    entity->Update(16);
    EXPECT_EQ(first.mCalls, 2);
    EXPECT_EQ(second.mCalls, 2);
    EXPECT_EQ(entity->GetFlags(), GameplayEntity::kActive);

    // A callback that starts the next change from inside its call gets it on a later update.
    first.mAction = [&] { entity->Activate(false, second.Report()); };
    entity->Activate(false, first.Report());
    entity->Update(16);
    EXPECT_EQ(first.mCalls, 3);
    EXPECT_EQ(second.mCalls, 2);
    first.mAction = nullptr;
    entity->Update(16);
    EXPECT_EQ(second.mCalls, 3);

    // An entity that goes with a change under way tells its report as it goes.
    entity->Activate(false, second.Report());
    entity.reset();
    EXPECT_EQ(second.mCalls, 4);
}

TEST_F(EntityTest, SavedByteKeepsUndefinedBitsAndShortRecordsAreRefused)
{
    auto entity = Make("{}");
    const uint8_t saved[] = {0xF5, 0x77};
    EXPECT_EQ(entity->MeasureState(saved, 2), 1u);
    EXPECT_EQ(entity->MeasureState(saved, 0), 0u);
    EXPECT_EQ(entity->MeasureState(nullptr, 0), 0u);
    ASSERT_TRUE(entity->LoadState(saved, 2));
    std::vector<uint8_t> out{9};
    entity->SaveState(out);
    EXPECT_EQ(out, (std::vector<uint8_t>{9, 0xF5}));

    EXPECT_FALSE(entity->LoadState(saved + 1, 0));
    EXPECT_FALSE(entity->LoadState(nullptr, 0));
    EXPECT_EQ(entity->GetFlags(), 0xF5);

    // The real kinds refuse alike and change nothing.
    Image("pic.png", 4, 4, 0xFFFFFFFF);
    GameplayLayer layer(*Table("{ image = 'pic' }"), *Table("{}"));
    GameplayText text(*Table("{ text = { font = { '', 12, { 1, 1, 1, 1 } } } }"), *Table("{}"));
    GameplayParticle particle(*Table("{}"));
    for (GameplayEntity* kind : std::initializer_list<GameplayEntity*>{&layer, &text, &particle})
    {
        const uint8_t flags = kind->GetFlags();
        EXPECT_EQ(kind->MeasureState(saved, 1), 1u);
        EXPECT_EQ(kind->MeasureState(saved, 0), 0u);
        EXPECT_FALSE(kind->LoadState(saved, 0));
        EXPECT_EQ(kind->GetFlags(), flags) << kind->GetType();
    }
}

} // namespace
