// Models: the ".mesh" layout with its fixed-point values, empty meshes, sharing by name, the name
// rules and their silence, damaged files (one line naming the file), a lit mesh drawn in a 3-D
// block against its golden picture, and the reload after an injected device loss.
#include "render/mesh_test_support.h"
#include "render/render_test_support.h"

#include "platform/files/asset_manager.h"
#include "render/renderer/model.h"
#include "support/files.h"
#include "sys/display/presenter/surface_png.h"
#include "sys/display/vertex_formats.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

using namespace rendertest;
using namespace sys::display;

namespace
{

class ModelTest : public DisplayTest
{
protected:
    // Writes the bytes as "user:<name>" and answers that logical name.
    TString Write(const std::string& name, const std::string& bytes)
    {
        testsupport::WriteFile(mScratch.Root() + "/user/" + name, bytes);
        return TString(("user:" + name).c_str());
    }
    void Remove(const std::string& name)
    {
        std::remove((mScratch.Root() + "/user/" + name).c_str());
    }
};

TEST_F(ModelTest, ReadsFixedPointVerticesAndIndices)
{
    MeshPlan plan;
    plan.mVertices = {{-1500, 32767, -32768, 0, 1000, -1, 250, 1000},
                      {1, 2, 3, 4, 5, 6, 7, 8},
                      {0, 0, 0, 0, 0, 0, 0, 0}};
    plan.mTriangles = {{2, 0, 1}, {1, 2, 2}};
    auto model = TModel::Get(Write("shape.mesh", MeshBytes(plan)));
    ASSERT_NE(model, nullptr);
    const TMeshData& mesh = *model->GetMesh();
    ASSERT_EQ(mesh.GetVertexCount(), 3u);
    const TModelVertex& v = mesh.mVertices[0];
    EXPECT_FLOAT_EQ(v.mX, -1.5f);
    EXPECT_FLOAT_EQ(v.mY, 32.767f);
    EXPECT_FLOAT_EQ(v.mZ, -32.768f);
    EXPECT_FLOAT_EQ(v.mNy, 1.0f);
    EXPECT_FLOAT_EQ(v.mNz, -0.001f);
    EXPECT_FLOAT_EQ(v.mU, 0.25f);
    EXPECT_FLOAT_EQ(v.mV, 1.0f);
    EXPECT_FLOAT_EQ(mesh.mVertices[1].mV, 0.008f);
    EXPECT_EQ(mesh.mIndices, (std::vector<uint16_t>{2, 0, 1, 1, 2, 2}));
    EXPECT_STREQ(mesh.mFileName.c_str(), "user:shape.mesh");
    EXPECT_STREQ(model->GetClassName(), "TModel");
    EXPECT_TRUE(model->IsKindOf(TAsset::GetClassId()));
    static_assert(sizeof(TModelVertex) == sizeof(Vertex), "the renderer's unlit vertex");
}

TEST_F(ModelTest, EmptyMeshLoadsAndDrawsNothing)
{
    auto model = TModel::Get(Write("empty.mesh", MeshBytes({})));
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetMesh()->GetVertexCount(), 0u);
    EXPECT_EQ(model->GetMesh()->GetIndexCount(), 0u);
    Platform().SetDisplay(800, 600, false, false, false, false);
    TRenderer* renderer = TRenderer::Instance();
    ASSERT_TRUE(renderer->BeginDraw(false));
    ASSERT_TRUE(renderer->Begin3d());
    model->Draw();
    renderer->End3d();
    renderer->EndFrame(false);
    EXPECT_EQ(Log().find("DrawIndexed"), std::string::npos);
}

TEST_F(ModelTest, SharedByNameWhileAlive)
{
    const TString name = Write("shared.mesh", MeshBytes(Pyramid()));
    auto first = TModel::Get(name);
    ASSERT_NE(first, nullptr);
    Remove("shared.mesh");
    EXPECT_EQ(TModel::Get(name), first) << "the file is read once";
    EXPECT_EQ(GetAssetManager()->GetAsset(name), first);
    first.reset();
    EXPECT_EQ(TModel::Get(name), nullptr) << "a dead model is loaded again";
}

TEST_F(ModelTest, NameRulesWrongMagicAndMissingFile)
{
    const std::string bytes = MeshBytes(Pyramid());
    EXPECT_EQ(TModel::Get(Write("upper.MESH", bytes)), nullptr);
    EXPECT_EQ(TModel::Get(Write("nomesh.bin", bytes)), nullptr);
    TModel model;
    EXPECT_FALSE(model.Init(Write("magic.mesh", "TRIZ" + bytes.substr(4))));
    ASSERT_NE(model.GetMesh(), nullptr) << "kept empty";
    EXPECT_EQ(model.GetMesh()->GetVertexCount(), 0u);
    EXPECT_FALSE(model.Init(Write("tiny.mesh", "TR")));
    EXPECT_EQ(Log().find("TModel"), std::string::npos) << Log();

    EXPECT_EQ(TModel::Get("user:missing.mesh"), nullptr);
    EXPECT_EQ(CountOf(Log(), "TModel::Init: Failed to load user:missing.mesh\n"), 1) << Log();
}

TEST_F(ModelTest, DamagedFilesFailWithOneLineNamingThem)
{
    const std::string whole = MeshBytes(Pyramid()); // 12 vertices, 4 triangles
    MeshPlan outside = Pyramid();
    outside.mTriangles[3][1] = 12; // one past the last vertex
    std::string counts = whole;
    counts[4] = 13; // one vertex more than the file holds
    const std::pair<const char*, std::string> damaged[] = {
        {"counts.mesh", whole.substr(0, 6)},
        {"vertices.mesh", whole.substr(0, 8 + 16 * 5 + 3)},
        {"indices.mesh", whole.substr(0, whole.size() - 1)},
        {"outside.mesh", MeshBytes(outside)},
        {"toomany.mesh", counts},
    };
    for (const auto& [name, bytes] : damaged)
    {
        const TString logical = Write(name, bytes);
        EXPECT_EQ(TModel::Get(logical), nullptr) << name;
        const std::string line = std::string("TModel::Init: Damaged mesh file ") + logical.c_str();
        EXPECT_EQ(CountOf(Log(), line + "\n"), 1) << name;
        EXPECT_EQ(GetAssetManager()->GetAsset(logical), nullptr) << name;
    }
    EXPECT_EQ(CountOf(Log(), "TModel"), 5);
}

class ModelDrawTest : public ModelTest
{
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        mRenderer = TRenderer::Instance();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
    }

    void DrawScene(TModel& model)
    {
        TMat4 world;
        world.SetIdentity();
        world.Rotate(TVec3(1, 0, 0), 0.35f);
        world.Rotate(TVec3(0, 1, 0), 0.5f);
        world.Translate(TVec3(0, 0, 9));
        ASSERT_NO_FATAL_FAILURE(BeginLit3d(*mRenderer, TVec4(0, 0, 0.1f, 1), world,
                                           TVec4(0.3f, 0.7f, 0.9f, 1), 0.15f, 12,
                                           TVec3(0.4f, -0.5f, 1)));
        mRenderer->SetCullMode(1);
        model.Draw();
        mRenderer->End3d();
        mRenderer->EndFrame(false);
    }

    TRenderer* mRenderer = nullptr;
};

TEST_F(ModelDrawTest, LitMeshInA3dBlock)
{
    auto model = TModel::Get(Write("pyramid.mesh", MeshBytes(Pyramid())));
    ASSERT_NE(model, nullptr);
    DrawScene(*model);
    CompareWithGolden(*Data().mBackBuffer, Rect{250, 150, 550, 450}, "model_pyramid.png");
    EXPECT_EQ(Log().find("DrawIndexed"), std::string::npos) << Log();
}

TEST_F(ModelDrawTest, InjectedDeviceLossReloadsTheFile)
{
    auto model = TModel::Get(Write("reload.mesh", MeshBytes(Pyramid())));
    ASSERT_NE(model, nullptr);
    MeshPlan moved = Pyramid();
    moved.mVertices[0][2] = -2000;
    Write("reload.mesh", MeshBytes(moved));
    Data().mWorkingCount = 3;
    Data().mDirectDraw->LoseAllSurfaces();
    Data().Restore();
    ASSERT_NE(model->GetMesh(), nullptr);
    EXPECT_FLOAT_EQ(model->GetMesh()->mVertices[0].mZ, -2.0f) << "read from the file again";
    EXPECT_EQ(model->GetMesh()->GetIndexCount(), 12u);
    EXPECT_TRUE(Platform().CheckDevice());
}

} // namespace
