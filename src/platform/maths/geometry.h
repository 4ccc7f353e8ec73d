// Small value types for drawing and layout: integer rectangles, packed colours, float vectors and
// row-vector matrices (2-D affine TMat3, Direct3D-layout TMat4).
#pragma once

#include <cstdint>

struct TRect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    TRect() = default;
    TRect(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    // Neither checks its result: an intersection of disjoint rectangles comes out inverted.
    void SetUnion(const TRect& a, const TRect& b);
    void SetIntersection(const TRect& a, const TRect& b);
    bool operator==(const TRect& o) const = default;
};

struct TVec2
{
    float x = 0;
    float y = 0;

    TVec2() = default;
    TVec2(float ax, float ay) : x(ax), y(ay) {}

    TVec2& operator+=(const TVec2& o);
    TVec2& operator-=(const TVec2& o);
    TVec2& operator*=(float s);
    TVec2& operator/=(float s); // no test for 0
    TVec2 operator-() const { return TVec2(-x, -y); }
    TVec2 operator+(const TVec2& o) const { return TVec2(x + o.x, y + o.y); }
    TVec2 operator-(const TVec2& o) const { return TVec2(x - o.x, y - o.y); }
    TVec2 operator*(float s) const { return TVec2(x * s, y * s); }
    bool operator==(const TVec2& o) const { return x == o.x && y == o.y; }
    bool operator!=(const TVec2& o) const { return !(*this == o); }

    float Dot(const TVec2& o) const { return x * o.x + y * o.y; }
    float LengthSquared() const { return Dot(*this); }
    float Length() const;
    // Divides by the length unless it is exactly 0.
    TVec2& Normalize();
};

struct TVec4;

struct TVec3
{
    float x = 0;
    float y = 0;
    float z = 0;

    TVec3() = default;
    TVec3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
    TVec3(const TVec2& v, float az) : x(v.x), y(v.y), z(az) {}
    explicit TVec3(const TVec4& v);

    TVec3& operator+=(const TVec3& o);
    TVec3& operator-=(const TVec3& o);
    TVec3& operator*=(float s);
    TVec3 operator-() const { return TVec3(-x, -y, -z); }
    TVec3 operator+(const TVec3& o) const { return TVec3(x + o.x, y + o.y, z + o.z); }
    TVec3 operator-(const TVec3& o) const { return TVec3(x - o.x, y - o.y, z - o.z); }
    TVec3 operator*(float s) const { return TVec3(x * s, y * s, z * s); }
    bool operator==(const TVec3& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const TVec3& o) const { return !(*this == o); }

    float Dot(const TVec3& o) const { return x * o.x + y * o.y + z * o.z; }
    float LengthSquared() const { return Dot(*this); }
    float Length() const;
};

// Also a colour: r, g, b, a in x, y, z, w (0..1).
struct TVec4
{
    float x = 0;
    float y = 0;
    float z = 0;
    float w = 0;

    TVec4() = default;
    TVec4(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}
    TVec4(const TVec3& v, float aw) : x(v.x), y(v.y), z(v.z), w(aw) {}

    TVec4& operator+=(const TVec4& o);
    bool operator==(const TVec4& o) const { return !NotEqual(*this, o); }
    bool operator!=(const TVec4& o) const { return NotEqual(*this, o); }

    // True when any component differs (exactly; a NaN component always counts as different).
    static bool NotEqual(const TVec4& a, const TVec4& b);
};

// A packed colour A<<24 | R<<16 | G<<8 | B.
class TColor
{
public:
    TColor() = default;
    TColor(uint32_t packed) : mValue(packed) {}
    TColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a)
        : mValue(static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(r) << 16 |
                 static_cast<uint32_t>(g) << 8 | b)
    {
    }
    // Each channel times 255, truncated toward zero; values outside 0..1 are not clamped and
    // spill into the neighbouring bytes.
    explicit TColor(const TVec4& v);

    uint32_t GetPacked() const { return mValue; }
    uint8_t GetA() const { return static_cast<uint8_t>(mValue >> 24); }
    uint8_t GetR() const { return static_cast<uint8_t>(mValue >> 16); }
    uint8_t GetG() const { return static_cast<uint8_t>(mValue >> 8); }
    uint8_t GetB() const { return static_cast<uint8_t>(mValue); }
    void SetA(uint8_t v) { mValue = (mValue & 0x00FFFFFFu) | static_cast<uint32_t>(v) << 24; }
    void SetR(uint8_t v) { mValue = (mValue & 0xFF00FFFFu) | static_cast<uint32_t>(v) << 16; }
    void SetG(uint8_t v) { mValue = (mValue & 0xFFFF00FFu) | static_cast<uint32_t>(v) << 8; }
    void SetB(uint8_t v) { mValue = (mValue & 0xFFFFFF00u) | v; }
    bool operator==(const TColor& o) const { return mValue == o.mValue; }
    bool operator!=(const TColor& o) const { return mValue != o.mValue; }

private:
    uint32_t mValue = 0;
};

// A 2-D affine transform for row vectors: rows 0-1 the linear part, row 2 the translation and 1.
struct TMat3
{
    float m[3][3];

    TMat3();
    TMat3(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21,
          float m22);

    void SetIdentity();
    // The 2x2 linear parts multiplied, row 2 taken from a: rotation and scale act in the local
    // frame while the translation stays.
    static TMat3 MulLinear(const TMat3& a, const TMat3& b);
    void Rotate(float angle);
    void Scale(float sx, float sy);
    void Scale(float s);
};

// Rows (cos, sin, 0), (-sin, cos, 0), (0, 0, 1): clockwise on a screen whose y axis points down.
TMat3 MakeRotationMatrix(float angle);
// Point transform (row 2 applies).
TVec2 operator*(const TVec2& p, const TMat3& mat);
// Direction transform (row 2 ignored).
TVec2 TransformVector(const TVec2& v, const TMat3& mat);
TMat3 operator*(const TMat3& a, const TMat3& b);

// Sixteen floats row by row, row vectors, translation in row 3: Direct3D's matrix layout.
struct TMat4
{
    float m[4][4];

    TMat4();
    TMat4(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13,
          float m20, float m21, float m22, float m23, float m30, float m31, float m32, float m33);

    void SetIdentity();
    void Translate(const TVec3& v);
    // Each of the following sets this = this * X, so X applies after the existing transform.
    void Scale(float sx, float sy, float sz);
    // About an axis used as given (not normalized).
    void Rotate(const TVec3& axis, float angle);
    void RotateX(float angle);
    void RotateZ(float angle);
    // Roll about z, then pitch about x, then yaw about y.
    void Rotate(float yaw, float pitch, float roll);
    // Overwrites the matrix with a left-handed perspective projection; `shift` moves the centre of
    // projection (a component of magnitude exactly 1 stands for -10000).
    void SetPerspective(float zNear, float zFar, float fov, float aspect, const TVec2& shift);
};

TMat4 operator*(const TMat4& a, const TMat4& b);
