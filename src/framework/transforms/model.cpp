// The model portal's 3-D description: its mesh and texture, placement and world matrix.
#include "framework/transforms/model.h"

#include "render/renderer/model.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <cmath>
#include <memory>

namespace
{
// Entries [1] to [count] of the sub-table `key` (each missing one reads 0); false without it.
bool ReadNumbers(const TLuaTable& table, const char* key, float* out, int count)
{
    std::unique_ptr<TLuaTable> sub(table.GetTable(key));
    if (sub == nullptr)
        return false;
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<float>(sub->GetNumberAt(i + 1, 0));
    return true;
}

void ReadVec3(const TLuaTable& table, const char* key, TVec3& v)
{
    float n[3];
    if (ReadNumbers(table, key, n, 3))
        v = TVec3(n[0], n[1], n[2]);
}

void ReadVec4(const TLuaTable& table, const char* key, TVec4& v)
{
    float n[4];
    if (ReadNumbers(table, key, n, 4))
        v = TVec4(n[0], n[1], n[2], n[3]);
}
} // namespace

Model::Model()
{
    mLight.mDiffuse = TVec4(1, 1, 1, 0);
    mLight.mDirection = TVec3(0, 0, 1);
    mLight.mRange = 1.8446743e19f;
}

Model::Model(const TLuaTable& table) : Model()
{
    mModelName = table.GetString("model");
    mTextureName = table.GetString("texture");
    mNearPlane = static_cast<float>(table.GetNumber("nearplane", 0));
    mFarPlane = static_cast<float>(table.GetNumber("farplane", 0));
    mFov = static_cast<float>(table.GetNumber("fov", 0));
    mAspect = static_cast<float>(table.GetNumber("aspect", 0));
    LoadAssets();

    float n[3];
    if (ReadNumbers(table, "localmatrix", n, 3))
        SetPosition(n[0], n[1], n[2]);
    if (ReadNumbers(table, "rotation", n, 3))
        SetRotation(n[0], n[1], n[2]);

    std::unique_ptr<TLuaTable> material(table.GetTable("material"));
    if (material != nullptr)
    {
        ReadVec4(*material, "diffuse", mMaterial.mDiffuse);
        ReadVec4(*material, "ambient", mMaterial.mAmbient);
        ReadVec4(*material, "specular", mMaterial.mSpecular);
        ReadVec4(*material, "emit", mMaterial.mEmissive);
        mMaterial.mPower = static_cast<float>(material->GetNumber("reflectance", 0));
    }

    std::unique_ptr<TLuaTable> light(table.GetTable("light"));
    if (light == nullptr)
    {
        mLightFollows = true;
        return;
    }
    mLight.mType = static_cast<float>(std::trunc(light->GetNumber("type", 0)));
    ReadVec4(*light, "diffuse", mLight.mDiffuse);
    ReadVec4(*light, "specular", mLight.mSpecular);
    ReadVec4(*light, "ambient", mLight.mAmbient);
    ReadVec3(*light, "position", mLight.mPosition);
    ReadVec3(*light, "direction", mLight.mDirection);
    mLight.mRange = static_cast<float>(light->GetNumber("range", 0));
    float attenuation[3];
    if (ReadNumbers(*light, "attenuation", attenuation, 3))
    {
        mLight.mAttenuation0 = attenuation[0];
        mLight.mAttenuation1 = attenuation[1];
        mLight.mAttenuation2 = attenuation[2];
    }
    mLight.mTheta = static_cast<float>(light->GetNumber("theta", 0));
    mLight.mPhi = static_cast<float>(light->GetNumber("phi", 0));
    mLightFollows = light->GetBool("lightFollows", true);
}

void Model::LoadAssets()
{
    // A mesh that fails to load is logged by the asset layer and leaves the portal without one.
    if (mModelName.Length() > 0)
        mMesh = TModel::Get(mModelName);
    if (mTextureName.Length() > 0)
        mTexture = TTexture::Get(mTextureName, 0);
}

void Model::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    renderer->SetProjection(mNearPlane, mFarPlane, mFov, mAspect);
    renderer->SetTexture(mTexture);
    renderer->SetLight(0, &mLight);
    renderer->SetMaterial(mMaterial);
    renderer->SetWorldMatrix(mWorld);
    // An empty "model" name, or a file that did not load, leaves nothing to draw.
    if (mMesh)
        mMesh->Draw();
}

void Model::SetPosition(float x, float y, float z)
{
    if (mLightFollows)
        mLight.mPosition += TVec3(x, y, z) - mPosition;
    mPosition = TVec3(x, y, z);
    SetTranslationRow();
}

void Model::SetTranslationRow()
{
    mWorld.m[3][0] = mPosition.x;
    mWorld.m[3][1] = mPosition.y;
    mWorld.m[3][2] = mPosition.z;
    mWorld.m[3][3] = 1;
}

void Model::RebuildScaled()
{
    mWorld.SetIdentity();
    mWorld.Scale(mScale.x, mScale.y, mScale.z);
    SetTranslationRow();
}

void Model::RebuildRotated()
{
    mWorld.SetIdentity();
    mWorld.Rotate(mRotation.y, mRotation.x, mRotation.z);
    SetTranslationRow();
}

void Model::SetScaleX(float s)
{
    mScale.x = s;
    RebuildScaled();
}

void Model::SetScaleY(float s)
{
    mScale.y = s;
    RebuildScaled();
}

void Model::SetScaleZ(float s)
{
    mScale.z = s;
    RebuildScaled();
}

void Model::SetScale(float x, float y, float z)
{
    mScale = TVec3(x, y, z);
    RebuildScaled();
}

void Model::SetRotationX(float r)
{
    mRotation.x = r;
    RebuildRotated();
}

void Model::SetRotationY(float r)
{
    mRotation.y = r;
    RebuildRotated();
}

void Model::SetRotationZ(float r)
{
    mRotation.z = r;
    RebuildRotated();
}

void Model::SetRotation(float x, float y, float z)
{
    mRotation = TVec3(x, y, z);
    RebuildRotated();
}
