// Godray: one soft beam of light: a textured quad that starts some distance from a centre, reaches
// outwards tilted about the horizontal axis, and turns slowly and endlessly around the centre. Its
// look is drawn at random from the ranges of its description; the caller sets the world matrix
// and projection it is drawn through.
#pragma once

#include "framework/transforms/transform_target.h"
#include "platform/maths/random.h"
#include "render/renderer/draw_spec.h"

#include <cstdint>
#include <memory>

class TLuaTable;
class TTexture;

class Godray
{
public:
    // A seed of 0 takes the frame clock.
    Godray(const TLuaTable& description, uint32_t seed);
    Godray(const Godray&) = delete;
    Godray& operator=(const Godray&) = delete;
    ~Godray();

    // A new look and a new endless turn in place of the last one.
    void Randomise();
    // The quad's corners from the current look and turning angle.
    void Update();
    // The spec's alpha scales the beam's for this draw; nothing without a texture.
    void Draw(const TDrawSpec& spec);

    // Its rotation is the turning angle in radians; the runner pauses it.
    TM_Transform2D& GetTransform() { return mTransform; }
    float GetLength() const { return mLength; }
    float GetWidth() const { return mWidth; }
    float GetAngle() const { return mAngle; }
    float GetDistance() const { return mDistance; }
    uint8_t GetAlpha() const { return static_cast<uint8_t>(mVertices[0].diffuse >> 24); }
    // The turn's period of the last randomisation, in ms.
    int32_t GetPeriod() const { return mPeriod; }
    TVec3 GetCorner(int index) const
    {
        return TVec3(mVertices[index].x, mVertices[index].y, mVertices[index].z);
    }
    TVec2 GetTexCoord(int index) const { return TVec2(mVertices[index].u, mVertices[index].v); }
    const std::shared_ptr<TTexture>& GetTexture() const { return mTexture; }

private:
    struct Vertex
    {
        float x, y, z;
        float reserved;
        uint32_t diffuse, specular;
        float u, v;
    };
    // A float in [0, 1).
    float Fraction();
    float Pick(float min, float max);
    // min + a whole number of steps up to max, both ends in; the min when max is below it.
    int64_t PickInt(int64_t min, int64_t max);
    void SetAlpha(uint8_t alpha);

    TRandom mRandom;
    float mLength = 0;
    float mWidth = 0;
    float mAngle = 0;
    float mDistance = 0;
    int32_t mPeriod = 0;
    Vertex mVertices[4] = {};
    static const uint16_t kIndices[6];
    TDrawSpec mSpec;
    TM_Transform2D mTransform{&mSpec};
    std::shared_ptr<TTexture> mTexture;
    float mDistanceMin = 0;
    float mDistanceMax = 0;
    float mLengthMin = 0;
    float mLengthMax = 0;
    float mWidthMin = 0;
    float mWidthMax = 0;
    float mAngleMin = 0;
    float mAngleMax = 0;
    uint8_t mAlphaMin = 0;
    uint8_t mAlphaMax = 0;
    int32_t mRotateTimeMin = 0;
    int32_t mRotateTimeMax = 0;
};
