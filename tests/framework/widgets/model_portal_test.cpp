// The model portal: description defaults and keys, the state script's fatal messages, showing,
// stepping and hiding with the runs that repeat while shown.
#include "framework/widgets/model_portal.h"

#include "framework/transforms/transform_instructions.h"
#include "framework/framework_test_support.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
class PortalTest : public fwtest::TransformTest
{
protected:
    // A table made by running Lua text that assigns the global `t`.
    std::unique_ptr<TLuaTable> Table(const char* lua)
    {
        mScript.DoLuaString(lua);
        return std::unique_ptr<TLuaTable>(mScript.GetGlobalTable("t"));
    }
    TScript mScript;
};

const char kStates[] = "modelinfo = { states = { state00 = { position = { 0, 10 } },"
                       " state01 = { position = { 100, 10, 5 }, rotation = { 0, 0, 2 } } } }";

TEST_F(PortalTest, DescriptionDefaultsAndKeys)
{
    std::unique_ptr<TLuaTable> bare(Table("t = {}"));
    Model plain(*bare);
    EXPECT_TRUE(plain.mLightFollows);
    EXPECT_EQ(plain.mLight.mRange, 1.8446743e19f);
    EXPECT_EQ(plain.mLight.mDiffuse, TVec4(1, 1, 1, 0));
    EXPECT_EQ(plain.mLight.mDirection, TVec3(0, 0, 1));
    EXPECT_EQ(plain.mMaterial.mDiffuse, TVec4(0, 0, 0, 0));
    EXPECT_EQ(plain.GetScale(), TVec3(1, 1, 1));

    std::unique_ptr<TLuaTable> full(
        Table("t = { fov = 0.8, localmatrix = { 1, 2 }, material = { diffuse = { 1, 0.5 },"
              " emit = { 0, 0, 1, 1 }, reflectance = 7 }, light = { type = 2.9,"
              " position = { 5, 5, 5 }, attenuation = { 1 }, lightFollows = false } }"));
    Model model(*full);
    EXPECT_EQ(model.mFov, 0.8f);
    EXPECT_EQ(model.GetPosition(), TVec3(1, 2, 0));
    EXPECT_EQ(model.mWorld.m[3][1], 2.0f);
    EXPECT_EQ(model.mMaterial.mDiffuse, TVec4(1, 0.5f, 0, 0));
    EXPECT_EQ(model.mMaterial.mEmissive, TVec4(0, 0, 1, 1));
    EXPECT_EQ(model.mMaterial.mPower, 7.0f);
    EXPECT_EQ(model.mLight.mType, 2);
    EXPECT_EQ(model.mLight.mPosition, TVec3(5, 5, 5)); // the move while reading did not follow
    EXPECT_EQ(model.mLight.mRange, 0.0f);
    EXPECT_EQ(model.mLight.mAttenuation0, 1.0f);
    EXPECT_EQ(model.mLight.mDiffuse, TVec4(1, 1, 1, 0));
    EXPECT_FALSE(model.mLightFollows);
}

TEST_F(PortalTest, EachMissingPartIsFatal)
{
    const struct
    {
        const char* script;
        const char* message;
    } cases[] = {
        {nullptr, "Cannot run script 'portals/p'!   FILE:modelportal LINE:89"},
        {"x = 1", "Cannot find modalinfo table in 'portals/p'!   FILE:modelportal LINE:94"},
        {"modelinfo = {}", "No states table for ModelPortal!   FILE:modelportal LINE:99"},
        {"modelinfo = { states = {} }", "No state00 table for ModelPortal   FILE:modelportal "
                                        "LINE:105"},
        {"modelinfo = { states = { state00 = {} } }",
         "No state01 table for ModelPortal   FILE:modelportal LINE:110"},
    };
    std::unique_ptr<TLuaTable> table(Table("t = { model = {} }"));
    for (const auto& c : cases)
    {
        if (c.script != nullptr)
            MemoryFile("portals/p", c.script);
        ModelPortal portal(*table, "portals/p");
        EXPECT_TRUE(mLog.Has(std::string("ERROR:") + c.message + "\n")) << c.message;
    }
    std::unique_ptr<TLuaTable> empty(Table("t = {}"));
    ModelPortalController controller;
    controller.AddModelPortal("portals/p", *empty);
    EXPECT_TRUE(mLog.Has("ERROR:No model table for ModelPortal!   FILE:modelportal LINE:28\n"));
    EXPECT_TRUE(mLog.Has("no window script")); // fatal, with nothing to end here
    controller.ShowModelPortal("portals/p");
    controller.StepCurrentModelPortal(); // neither animated nor drawn
    EXPECT_EQ(mManager.GetGroupCount(), 0u);
}

TEST_F(PortalTest, ShownPortalsRunFromTheFirstStateToTheSecondAndAgain)
{
    MemoryFile("portals/a", kStates);
    std::unique_ptr<TLuaTable> table(
        Table("t = { startalpha = 0, endalpha = 1, timeanimation = 1000.9, model = {} }"));
    ModelPortalController controller;
    controller.AddModelPortal("portals/a", *table);
    controller.AddModelPortal("portals/a", *table);
    ModelPortal& first = *controller.GetPortals()[0];
    EXPECT_EQ(first.mAnimationTime, 1000);
    EXPECT_EQ(first.mPosition0, TVec3(0, 10, 0));
    EXPECT_EQ(first.mRotation1, TVec3(0, 0, 2));

    controller.ShowModelPortal("nothing");
    EXPECT_EQ(controller.GetCurrent(), nullptr);
    controller.ShowModelPortal("portals/a");
    EXPECT_EQ(controller.GetCurrent(), &first);
    EXPECT_TRUE(first.mReady);
    controller.StepCurrentModelPortal();
    EXPECT_FALSE(first.mReady);
    Frame(0);
    Frame(500);
    EXPECT_FLOAT_EQ(first.mModel->GetPosition().x, 50.0f);
    EXPECT_FLOAT_EQ(first.mModel->GetAlpha(), 0.5f);
    Frame(1000);
    EXPECT_TRUE(first.mReady);
    EXPECT_EQ(first.mModel->GetPosition(), TVec3(100, 10, 5));
    controller.StepCurrentModelPortal(); // jumps back to the first state
    Frame(1010);
    EXPECT_NEAR(first.mModel->GetPosition().x, 0.25f, 0.01f);

    controller.ShowModelPortal("portals/a"); // one is current already
    EXPECT_EQ(controller.GetCurrent(), &first);
    controller.HideModelPortal();
    EXPECT_EQ(controller.GetCurrent(), nullptr);
    EXPECT_FALSE(first.mReady);
    EXPECT_EQ(mManager.GetGroupCount(), 0u);
}
} // namespace
