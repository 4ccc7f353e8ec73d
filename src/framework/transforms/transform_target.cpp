// The transform targets over a draw spec and over a model.
#include "framework/transforms/transform_target.h"

#include "framework/transforms/model.h"
#include "framework/transforms/transform_manager.h"
#include "render/renderer/draw_spec.h"

#include <algorithm>

TM_Transform::~TM_Transform()
{
    TransformManager* manager = TransformManager::Instance();
    if (manager != nullptr)
        manager->RemoveTransforms(this);
}

// ---- TM_Transform2D ----

namespace
{
// 2 pi as the float the rotation arithmetic uses.
constexpr float kTwoPi = 6.2831855f;
} // namespace

TM_Transform2D::TM_Transform2D(TDrawSpec* spec) : mSpec(spec) {}

void TM_Transform2D::SetX(float x)
{
    mSpec->mMatrix.m[2][0] = x;
}

void TM_Transform2D::SetY(float y)
{
    mSpec->mMatrix.m[2][1] = y;
}

void TM_Transform2D::SetZ(float z)
{
    mSpec->mMatrix.m[2][2] = z;
}

void TM_Transform2D::SetPosition(const TVec3& position)
{
    SetPosition(position.x, position.y, position.z);
}

void TM_Transform2D::SetPosition(float x, float y, float z)
{
    mSpec->mMatrix.m[2][0] = x;
    mSpec->mMatrix.m[2][1] = y;
    mSpec->mMatrix.m[2][2] = z;
}

float TM_Transform2D::GetX()
{
    return mSpec->mMatrix.m[2][0];
}

float TM_Transform2D::GetY()
{
    return mSpec->mMatrix.m[2][1];
}

float TM_Transform2D::GetZ()
{
    return mSpec->mMatrix.m[2][2];
}

const TVec3& TM_Transform2D::GetPosition()
{
    mPosition = TVec3(mSpec->mMatrix.m[2][0], mSpec->mMatrix.m[2][1], mSpec->mMatrix.m[2][2]);
    return mPosition;
}

void TM_Transform2D::ScaleAxis(int axis, float s)
{
    float(&m)[3][3] = mSpec->mMatrix.m;
    float old = axis == 0 ? mScale.x : mScale.y;
    if (s == 0 && old != 0)
    {
        for (int row = 0; row < 3; ++row)
            mSavedColumn[axis][row] = m[row][axis];
        mSavedScale[axis] = old;
        mColumnZeroed[axis] = true;
    }
    if (s != 0 && old == 0 && mColumnZeroed[axis])
    {
        // Back from 0: the remembered column at the new scale. A translation written while the
        // column was 0 is kept (scaled as any translation is); otherwise the remembered one
        // returns.
        float ratio = s / mSavedScale[axis];
        m[0][axis] = mSavedColumn[axis][0] * ratio;
        m[1][axis] = mSavedColumn[axis][1] * ratio;
        m[2][axis] = m[2][axis] != 0 ? m[2][axis] * s : mSavedColumn[axis][2] * ratio;
        mColumnZeroed[axis] = false;
        return;
    }
    float factor = old != 0 ? s / old : s;
    for (int row = 0; row < 3; ++row)
        m[row][axis] *= factor;
}

void TM_Transform2D::SetScaleX(float s)
{
    ScaleAxis(0, s);
    mScale.x = s;
}

void TM_Transform2D::SetScaleY(float s)
{
    ScaleAxis(1, s);
    mScale.y = s;
}

void TM_Transform2D::SetScaleZ(float s)
{
    mScale.z = s;
}

void TM_Transform2D::SetScale(const TVec3& scale)
{
    SetScale(scale.x, scale.y, scale.z);
}

void TM_Transform2D::SetScale(float x, float y, float z)
{
    ScaleAxis(0, x);
    ScaleAxis(1, y);
    mScale = TVec3(x, y, z);
}

void TM_Transform2D::SetUniformScale(float s)
{
    SetScale(s, s, s);
}

void TM_Transform2D::RotateBy(float turns)
{
    if (turns == 0)
        return;
    // A rotation mixes the columns, so a column remembered at 0 no longer describes the matrix.
    mColumnZeroed[0] = mColumnZeroed[1] = false;
    // The turn acts in the target's own frame and keeps its translation: a placed picture turns
    // about its registration point, whether it was turned before it was placed or after.
    mSpec->mMatrix.Rotate(-turns * kTwoPi);
}

void TM_Transform2D::SetRotationZ(float r)
{
    RotateBy(r - mRotation.z);
    mRotation.z = r;
}

void TM_Transform2D::SetRotation(const TVec3& rotation)
{
    SetRotation(rotation.x, rotation.y, rotation.z);
}

void TM_Transform2D::SetRotation(float x, float y, float z)
{
    RotateBy(z - mRotation.z);
    mRotation = TVec3(x, y, z);
}

void TM_Transform2D::SetAlpha(float alpha)
{
    mSpec->mAlpha = alpha;
}

float TM_Transform2D::GetAlpha()
{
    return mSpec->mAlpha;
}

namespace
{
// The point of a W x H box an alignment code names; false for the codes that name none.
bool AlignmentPoint(uint32_t code, uint32_t width, uint32_t height, TVec2& point)
{
    if (code > 10 || (code & 3) == 3 || (code & 12) == 12)
        return false;
    uint32_t x = (code & 1) != 0 ? width / 2 : (code & 2) != 0 ? width : 0;
    uint32_t y = (code & 4) != 0 ? height / 2 : (code & 8) != 0 ? height : 0;
    point = TVec2(static_cast<float>(x), static_cast<float>(y));
    return true;
}
} // namespace

void TM_Transform2D::SetAnchor(uint32_t code)
{
    TVec2 point;
    if (!AlignmentPoint(code, mWidth, mHeight, point))
        return;
    mSpec->mMatrix.m[2][0] = point.x;
    mSpec->mMatrix.m[2][1] = point.y;
}

void SetDrawSpecAlignment(TM_Transform2D* transform, uint32_t code, uint32_t width, uint32_t height)
{
    TVec2 point;
    if (transform != nullptr && AlignmentPoint(code, width, height, point))
        transform->GetSpec()->mOrigin = point;
}

// ---- TM_Transform3D ----

void TM_Transform3D::SetX(float x)
{
    const TVec3& p = mModel->GetPosition();
    mModel->SetPosition(x, p.y, p.z);
}

void TM_Transform3D::SetY(float y)
{
    const TVec3& p = mModel->GetPosition();
    mModel->SetPosition(p.x, y, p.z);
}

void TM_Transform3D::SetZ(float z)
{
    const TVec3& p = mModel->GetPosition();
    mModel->SetPosition(p.x, p.y, z);
}

void TM_Transform3D::SetPosition(const TVec3& position)
{
    mModel->SetPosition(position);
}

void TM_Transform3D::SetPosition(float x, float y, float z)
{
    mModel->SetPosition(x, y, z);
}

float TM_Transform3D::GetX()
{
    return mModel->GetPosition().x;
}

float TM_Transform3D::GetY()
{
    return mModel->GetPosition().y;
}

float TM_Transform3D::GetZ()
{
    return mModel->GetPosition().z;
}

const TVec3& TM_Transform3D::GetPosition()
{
    return mModel->GetPosition();
}

void TM_Transform3D::SetScaleX(float s)
{
    mModel->SetScaleX(s);
}

void TM_Transform3D::SetScaleY(float s)
{
    mModel->SetScaleY(s);
}

void TM_Transform3D::SetScaleZ(float s)
{
    mModel->SetScaleZ(s);
}

void TM_Transform3D::SetScale(const TVec3& scale)
{
    mModel->SetScale(scale);
}

void TM_Transform3D::SetScale(float x, float y, float z)
{
    mModel->SetScale(x, y, z);
}

float TM_Transform3D::GetScaleX()
{
    return mModel->GetScale().x;
}

float TM_Transform3D::GetScaleY()
{
    return mModel->GetScale().y;
}

float TM_Transform3D::GetScaleZ()
{
    return mModel->GetScale().z;
}

const TVec3& TM_Transform3D::GetScale()
{
    return mModel->GetScale();
}

void TM_Transform3D::SetRotationX(float r)
{
    mModel->SetRotationX(r);
}

void TM_Transform3D::SetRotationY(float r)
{
    mModel->SetRotationY(r);
}

void TM_Transform3D::SetRotationZ(float r)
{
    mModel->SetRotationZ(r);
}

void TM_Transform3D::SetRotation(const TVec3& rotation)
{
    mModel->SetRotation(rotation);
}

void TM_Transform3D::SetRotation(float x, float y, float z)
{
    mModel->SetRotation(x, y, z);
}

float TM_Transform3D::GetRotationX()
{
    return mModel->GetRotation().x;
}

float TM_Transform3D::GetRotationY()
{
    return mModel->GetRotation().y;
}

float TM_Transform3D::GetRotationZ()
{
    return mModel->GetRotation().z;
}

const TVec3& TM_Transform3D::GetRotation()
{
    return mModel->GetRotation();
}

void TM_Transform3D::SetAlpha(float alpha)
{
    mModel->SetAlpha(std::clamp(alpha, 0.0f, 1.0f));
}

float TM_Transform3D::GetAlpha()
{
    return mModel->GetAlpha();
}

namespace
{
// The change made with the matrix's translation as it was.
template <class Change> void KeepingPlace(TDrawSpec& spec, Change change)
{
    float(&m)[3][3] = spec.mMatrix.m;
    const float x = m[2][0];
    const float y = m[2][1];
    change();
    m[2][0] = x;
    m[2][1] = y;
}
} // namespace

void PlacedTransform2D::SetScaleX(float s)
{
    KeepingPlace(*GetSpec(), [&] { TM_Transform2D::SetScaleX(s); });
}

void PlacedTransform2D::SetScaleY(float s)
{
    KeepingPlace(*GetSpec(), [&] { TM_Transform2D::SetScaleY(s); });
}

void PlacedTransform2D::SetScale(const TVec3& scale)
{
    KeepingPlace(*GetSpec(), [&] { TM_Transform2D::SetScale(scale); });
}

void PlacedTransform2D::SetScale(float x, float y, float z)
{
    KeepingPlace(*GetSpec(), [&] { TM_Transform2D::SetScale(x, y, z); });
}
