// Model: the 3-D description of a model portal: mesh and texture names, material, one light, the
// placement (position, scale, rotation, world matrix) and the projection.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/display/platform.h"

#include <memory>

class TLuaTable;
class TModel;
class TTexture;

class Model
{
public:
    Model();
    // Reads the description table: "model", "texture", the projection, "localmatrix",
    // "rotation", "material" and "light"; the light does not follow while the table is read.
    explicit Model(const TLuaTable& table);

    // With the light following, a move carries the light's position along.
    void SetPosition(float x, float y, float z);
    void SetPosition(const TVec3& position) { SetPosition(position.x, position.y, position.z); }
    // Each scale or rotation setter rebuilds the world matrix with only its own kind of change
    // and the position: a scale drops an earlier rotation and the reverse.
    void SetScaleX(float s);
    void SetScaleY(float s);
    void SetScaleZ(float s);
    void SetScale(float x, float y, float z);
    void SetScale(const TVec3& scale) { SetScale(scale.x, scale.y, scale.z); }
    void SetRotationX(float r);
    void SetRotationY(float r);
    void SetRotationZ(float r);
    void SetRotation(float x, float y, float z);
    void SetRotation(const TVec3& rotation) { SetRotation(rotation.x, rotation.y, rotation.z); }

    const TVec3& GetPosition() const { return mPosition; }
    const TVec3& GetScale() const { return mScale; }
    const TVec3& GetRotation() const { return mRotation; }
    // The diffuse alpha of the material.
    float GetAlpha() const { return mMaterial.mDiffuse.w; }
    void SetAlpha(float alpha) { mMaterial.mDiffuse.w = alpha; }

    // Projection, texture, light 0, material and world matrix on the renderer, then the mesh.
    void Draw();

    TString mModelName;
    TString mTextureName;
    std::shared_ptr<TModel> mMesh;
    TMaterial mMaterial;
    // Type 0 (directional), white diffuse with alpha 0, direction (0, 0, 1), the range the square
    // root of the largest float.
    TLight mLight;
    bool mLightFollows = false;
    std::shared_ptr<TTexture> mTexture;
    TMat4 mWorld;
    TVec3 mPosition;
    TVec3 mScale = TVec3(1, 1, 1);
    TVec3 mRotation;
    float mNearPlane = 0;
    float mFarPlane = 0;
    float mFov = 0;
    float mAspect = 0;

private:
    // The mesh and the texture by name; empty names load nothing.
    void LoadAssets();
    void RebuildScaled();
    void RebuildRotated();
    void SetTranslationRow();
};
