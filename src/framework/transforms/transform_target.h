// Transform targets: TM_Transform, the one interface through which transform instructions read
// and write a position, scale, rotation and alpha; TM_Transform2D over a draw spec and
// TM_Transform3D over a model; the draw spec's alignment helper.
#pragma once

#include "platform/maths/geometry.h"

#include <cstdint>

struct TDrawSpec;
class Model;

class TM_Transform
{
public:
    TM_Transform() = default;
    TM_Transform(const TM_Transform&) = delete;
    TM_Transform& operator=(const TM_Transform&) = delete;
    // Ends every transform the manager runs on this target, so none reaches it afterwards.
    virtual ~TM_Transform();

    virtual void SetX(float x) = 0;
    virtual void SetY(float y) = 0;
    virtual void SetZ(float z) = 0;
    virtual void SetPosition(const TVec3& position) = 0;
    virtual void SetPosition(float x, float y, float z) = 0;
    virtual float GetX() = 0;
    virtual float GetY() = 0;
    virtual float GetZ() = 0;
    virtual const TVec3& GetPosition() = 0;
    virtual void SetScaleX(float s) = 0;
    virtual void SetScaleY(float s) = 0;
    virtual void SetScaleZ(float s) = 0;
    virtual void SetScale(const TVec3& scale) = 0;
    virtual void SetScale(float x, float y, float z) = 0;
    virtual float GetScaleX() = 0;
    virtual float GetScaleY() = 0;
    virtual float GetScaleZ() = 0;
    virtual const TVec3& GetScale() = 0;
    virtual void SetRotationX(float r) = 0;
    virtual void SetRotationY(float r) = 0;
    virtual void SetRotationZ(float r) = 0;
    virtual void SetRotation(const TVec3& rotation) = 0;
    virtual void SetRotation(float x, float y, float z) = 0;
    virtual float GetRotationX() = 0;
    virtual float GetRotationY() = 0;
    virtual float GetRotationZ() = 0;
    virtual const TVec3& GetRotation() = 0;
    virtual void SetAlpha(float alpha) = 0;
    virtual float GetAlpha() = 0;
};

// Works on the draw spec's matrix: x, y and z are its translation row; scale and rotation are the
// values last set here, and the matrix changes by the ratio or difference to them. Rotation counts
// turns; only the z rotation reaches the matrix.
class TM_Transform2D : public TM_Transform
{
public:
    // The spec is not owned and must outlive the transform.
    explicit TM_Transform2D(TDrawSpec* spec);

    void SetX(float x) override;
    void SetY(float y) override;
    void SetZ(float z) override;
    void SetPosition(const TVec3& position) override;
    void SetPosition(float x, float y, float z) override;
    float GetX() override;
    float GetY() override;
    float GetZ() override;
    const TVec3& GetPosition() override;
    void SetScaleX(float s) override;
    void SetScaleY(float s) override;
    void SetScaleZ(float s) override;
    void SetScale(const TVec3& scale) override;
    void SetScale(float x, float y, float z) override;
    float GetScaleX() override { return mScale.x; }
    float GetScaleY() override { return mScale.y; }
    float GetScaleZ() override { return mScale.z; }
    const TVec3& GetScale() override { return mScale; }
    void SetRotationX(float r) override { mRotation.x = r; }
    void SetRotationY(float r) override { mRotation.y = r; }
    void SetRotationZ(float r) override;
    void SetRotation(const TVec3& rotation) override;
    void SetRotation(float x, float y, float z) override;
    float GetRotationX() override { return mRotation.x; }
    float GetRotationY() override { return mRotation.y; }
    float GetRotationZ() override { return mRotation.z; }
    const TVec3& GetRotation() override { return mRotation; }
    // Stored as given: 2-D drawing takes values beyond 0..1.
    void SetAlpha(float alpha) override;
    float GetAlpha() override;

    void SetUniformScale(float s);
    // The translation for an anchor code over the transform's width and height: bit 1 the
    // horizontal centre, 2 the right, 4 the vertical middle, 8 the bottom; 3 and 7 change nothing.
    void SetAnchor(uint32_t code);

    TDrawSpec* GetSpec() const { return mSpec; }
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;

private:
    // Scales matrix column `axis` (translation element included) from the stored scale to `s`.
    void ScaleAxis(int axis, float s);
    void RotateBy(float turns);

    TDrawSpec* mSpec = nullptr;
    TVec3 mScale = TVec3(1, 1, 1);
    TVec3 mRotation;
    TVec3 mPosition;
    // A column scaled to 0 keeps no trace of itself; it is remembered here, with the scale it had,
    // so that a later non-zero scale brings it back.
    float mSavedColumn[2][3] = {};
    float mSavedScale[2] = {};
    bool mColumnZeroed[2] = {};
};

// A 2-D transform that grows about its registration point, as every 2-D transform turns: the plain
// one scales its translation too, which would carry a placed picture (a layer in a "scale" block,
// the hint token growing) away from its place.
class PlacedTransform2D : public TM_Transform2D
{
public:
    using TM_Transform2D::TM_Transform2D;
    void SetScaleX(float s) override;
    void SetScaleY(float s) override;
    void SetScale(const TVec3& scale) override;
    void SetScale(float x, float y, float z) override;
};

// Forwards everything to the model; alpha is clamped to 0..1.
class TM_Transform3D : public TM_Transform
{
public:
    // The model is not owned and must outlive the transform.
    explicit TM_Transform3D(Model* model) : mModel(model) {}

    void SetX(float x) override;
    void SetY(float y) override;
    void SetZ(float z) override;
    void SetPosition(const TVec3& position) override;
    void SetPosition(float x, float y, float z) override;
    float GetX() override;
    float GetY() override;
    float GetZ() override;
    const TVec3& GetPosition() override;
    void SetScaleX(float s) override;
    void SetScaleY(float s) override;
    void SetScaleZ(float s) override;
    void SetScale(const TVec3& scale) override;
    void SetScale(float x, float y, float z) override;
    float GetScaleX() override;
    float GetScaleY() override;
    float GetScaleZ() override;
    const TVec3& GetScale() override;
    void SetRotationX(float r) override;
    void SetRotationY(float r) override;
    void SetRotationZ(float r) override;
    void SetRotation(const TVec3& rotation) override;
    void SetRotation(float x, float y, float z) override;
    float GetRotationX() override;
    float GetRotationY() override;
    float GetRotationZ() override;
    const TVec3& GetRotation() override;
    void SetAlpha(float alpha) override;
    float GetAlpha() override;

    Model* GetModel() const { return mModel; }

private:
    Model* mModel = nullptr;
};

// Sets the draw spec's centre (its origin) for an alignment code over an image of W x H, with the
// same codes as SetAnchor; the caller sets the origin flag.
void SetDrawSpecAlignment(TM_Transform2D* transform, uint32_t code, uint32_t width,
                          uint32_t height);
