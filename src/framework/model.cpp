// The model portal's 3-D description: placement and world matrix.
#include "framework/model.h"

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
