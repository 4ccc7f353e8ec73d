// A light ray: its ranges and texture, the randomised look and turn, the quad's corners from the
// matrix products, and the draw with the spec's alpha.
#include "game/effects/godray.h"

#include "framework/core/delta_time.h"
#include "framework/core/settings.h"
#include "framework/core/frame_services.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "render/renderer/renderer.h"
#include "render/renderer/vertex_set.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <cmath>
#include <utility>

namespace
{

// The display's triangle-list primitive.
constexpr uint32_t kTriangleList = 4;
constexpr float kTurn = 6.28318530718f;

float ReadFloat(const TLuaTable& table, const char* key)
{
    return static_cast<float>(table.GetNumber(key, 0));
}

// The row vector through the matrix's linear part.
TVec3 Linear(const TVec3& v, const TMat4& m)
{
    return TVec3(v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
                 v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
                 v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]);
}

} // namespace

const uint16_t Godray::kIndices[6] = {0, 1, 2, 0, 2, 3};

Godray::Godray(const TLuaTable& description, uint32_t seed)
{
    if (seed == 0)
    {
        DeltaTime* clock = DeltaTime::Instance();
        seed = clock != nullptr ? clock->GetFrameTime() : 0;
    }
    mRandom.Seed(seed);
    const TString texture = description.GetString("texture");
    if (texture.Length() != 0)
        mTexture = TTexture::Get(texture, 0);
    mDistanceMin = ReadFloat(description, "raydistancemin");
    mDistanceMax = ReadFloat(description, "raydistancemax");
    mAlphaMin = static_cast<uint8_t>(ScriptNumberToInt(description.GetNumber("rayalphamin", 0)));
    mAlphaMax = static_cast<uint8_t>(ScriptNumberToInt(description.GetNumber("rayalphamax", 0)));
    mLengthMin = ReadFloat(description, "raylengthmin");
    mLengthMax = ReadFloat(description, "raylengthmax");
    mWidthMin = ReadFloat(description, "raywidthmin");
    mWidthMax = ReadFloat(description, "raywidthmax");
    mAngleMin = ReadFloat(description, "rayanglemin");
    mAngleMax = ReadFloat(description, "rayanglemax");
    mRotateTimeMin = ScriptNumberToInt(description.GetNumber("rayrotatespeedmin", 0));
    mRotateTimeMax = ScriptNumberToInt(description.GetNumber("rayrotatespeedmax", 0));

    float umax = 0.0f;
    float vmax = 0.0f;
    if (mTexture != nullptr)
    {
        uint32_t w = 0;
        uint32_t h = 0;
        mTexture->GetSurfaceSize(w, h);
        umax = w != 0 ? static_cast<float>(mTexture->GetWidth()) / static_cast<float>(w) : 0.0f;
        vmax = h != 0 ? static_cast<float>(mTexture->GetHeight()) / static_cast<float>(h) : 0.0f;
    }
    const TVec2 uv[4] = {{0, 0}, {umax, 0}, {umax, vmax}, {0, vmax}};
    for (int i = 0; i < 4; ++i)
        mVertices[i] = {0, 0, 0, 0, 0xFFFFFFFFu, 0, uv[i].x, uv[i].y};
}

Godray::~Godray()
{
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(&mTransform);
}

float Godray::Fraction()
{
    return RandomFloat(mRandom);
}

float Godray::Pick(float min, float max)
{
    const float u = Fraction();
    return max < min ? min : min + u * (max - min);
}

int64_t Godray::PickInt(int64_t min, int64_t max)
{
    const double u = mRandom.NextDouble();
    if (max < min)
        return min;
    return min + static_cast<int64_t>(u * static_cast<double>(max - min + 1));
}

void Godray::SetAlpha(uint8_t alpha)
{
    for (Vertex& vertex : mVertices)
        vertex.diffuse = (vertex.diffuse & 0x00FFFFFFu) | static_cast<uint32_t>(alpha) << 24;
}

void Godray::Randomise()
{
    SetAlpha(static_cast<uint8_t>(PickInt(mAlphaMin, mAlphaMax)));
    mLength = Pick(mLengthMin, mLengthMax);
    mWidth = Pick(mWidthMin, mWidthMax);
    mAngle = Pick(mAngleMin, mAngleMax);
    mDistance = Pick(mDistanceMin, mDistanceMax);
    const float start = kTurn * Fraction();
    mTransform.SetRotationZ(start);
    const int64_t direction = PickInt(0, 1);
    mPeriod = static_cast<int32_t>(PickInt(mRotateTimeMin, mRotateTimeMax));

    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    // One endless turn at a time: the earlier one goes.
    transforms->RemoveTransforms(&mTransform);
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Rotate(mPeriod > 0 ? static_cast<uint32_t>(mPeriod) : 0u, true,
                                  direction == 0 ? start + kTurn : start - kTurn, start, 0, 1.0f));
    transforms->AddTransform(&mTransform, list);
    transforms->SetLoopingAll(&mTransform);
}

void Godray::Update()
{
    // Each corner is the translation row of T(0, length, 0) Rx(angle) T(+-width, distance, 0)
    // Rz(r) (the far ones) or of T(+-width, distance, 0) Rz(r) (the near ones); the rotations
    // carry no translation, so the rows are the offsets pushed through their linear parts.
    TMat4 tilt;
    tilt.RotateX(mAngle);
    TMat4 turn;
    turn.RotateZ(mTransform.GetRotationZ());
    const TVec3 reach = Linear(TVec3(0.0f, mLength, 0.0f), tilt);
    const TVec3 corners[4] = {
        Linear(TVec3(mWidth, mDistance, 0.0f), turn),
        Linear(TVec3(-mWidth, mDistance, 0.0f), turn),
        Linear(TVec3(reach.x - mWidth, reach.y + mDistance, reach.z), turn),
        Linear(TVec3(reach.x + mWidth, reach.y + mDistance, reach.z), turn),
    };
    for (int i = 0; i < 4; ++i)
    {
        mVertices[i].x = corners[i].x;
        mVertices[i].y = corners[i].y;
        mVertices[i].z = corners[i].z;
    }
    std::swap(mVertices[0].z, mVertices[3].z);
    std::swap(mVertices[1].z, mVertices[2].z);
}

void Godray::Draw(const TDrawSpec& spec)
{
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr || mTexture == nullptr)
        return;
    const uint8_t alpha = GetAlpha();
    SetAlpha(static_cast<uint8_t>(static_cast<int32_t>(static_cast<float>(alpha) * spec.mAlpha)));
    renderer->SetTexture(mTexture);
    TVertexSet* set = TVertexSet::CreateLit(mVertices, 4);
    renderer->DrawIndexedVertices(kTriangleList, *set, kIndices, 6);
    TVertexSet::Release(set);
    SetAlpha(alpha);
}
