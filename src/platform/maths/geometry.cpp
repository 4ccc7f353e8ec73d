// Rectangles, colours, vectors and matrices: the operations that are more than one line.
#include "platform/maths/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void TRect::SetUnion(const TRect& a, const TRect& b)
{
    *this = TRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom));
}

void TRect::SetIntersection(const TRect& a, const TRect& b)
{
    *this = TRect(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                  std::min(a.bottom, b.bottom));
}

TVec2& TVec2::operator+=(const TVec2& o)
{
    x += o.x;
    y += o.y;
    return *this;
}

TVec2& TVec2::operator-=(const TVec2& o)
{
    x -= o.x;
    y -= o.y;
    return *this;
}

TVec2& TVec2::operator*=(float s)
{
    x *= s;
    y *= s;
    return *this;
}

TVec2& TVec2::operator/=(float s)
{
    x /= s;
    y /= s;
    return *this;
}

float TVec2::Length() const
{
    return std::sqrt(LengthSquared());
}

TVec2& TVec2::Normalize()
{
    float length = Length();
    if (length != 0.0f)
        *this /= length;
    return *this;
}

TVec3::TVec3(const TVec4& v) : x(v.x), y(v.y), z(v.z) {}

TVec3& TVec3::operator+=(const TVec3& o)
{
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
}

TVec3& TVec3::operator-=(const TVec3& o)
{
    x -= o.x;
    y -= o.y;
    z -= o.z;
    return *this;
}

TVec3& TVec3::operator*=(float s)
{
    x *= s;
    y *= s;
    z *= s;
    return *this;
}

float TVec3::Length() const
{
    return std::sqrt(LengthSquared());
}

TVec4& TVec4::operator+=(const TVec4& o)
{
    x += o.x;
    y += o.y;
    z += o.z;
    w += o.w;
    return *this;
}

bool TVec4::NotEqual(const TVec4& a, const TVec4& b)
{
    return !(a.x == b.x) || !(a.y == b.y) || !(a.z == b.z) || !(a.w == b.w);
}

namespace
{
// channel * 255 truncated toward zero, as the 32-bit pattern of that integer. Values no integer
// can hold (far outside 0..1, or NaN) become 0 rather than undefined behaviour.
uint32_t ChannelBits(float channel)
{
    float scaled = channel * 255.0f;
    if (!(std::fabs(scaled) < 2147483648.0f))
        return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(scaled));
}
} // namespace

TColor::TColor(const TVec4& v)
    : mValue(ChannelBits(v.w) << 24 | ChannelBits(v.x) << 16 | ChannelBits(v.y) << 8 |
             ChannelBits(v.z))
{
}

TMat3::TMat3()
{
    SetIdentity();
}

TMat3::TMat3(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21,
             float m22)
    : m{{m00, m01, m02}, {m10, m11, m12}, {m20, m21, m22}}
{
}

void TMat3::SetIdentity()
{
    *this = TMat3(1, 0, 0, 0, 1, 0, 0, 0, 1);
}

TMat3 TMat3::MulLinear(const TMat3& a, const TMat3& b)
{
    TMat3 r;
    for (int i = 0; i < 2; ++i)
    {
        for (int j = 0; j < 2; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j];
        r.m[i][2] = 0;
    }
    r.m[2][0] = a.m[2][0];
    r.m[2][1] = a.m[2][1];
    r.m[2][2] = a.m[2][2];
    return r;
}

void TMat3::Rotate(float angle)
{
    *this = MulLinear(*this, MakeRotationMatrix(angle));
}

void TMat3::Scale(float sx, float sy)
{
    *this = MulLinear(*this, TMat3(sx, 0, 0, 0, sy, 0, 0, 0, 1));
}

void TMat3::Scale(float s)
{
    Scale(s, s);
}

TMat3 MakeRotationMatrix(float angle)
{
    float c = std::cos(angle);
    float s = std::sin(angle);
    return TMat3(c, s, 0, -s, c, 0, 0, 0, 1);
}

TVec2 operator*(const TVec2& p, const TMat3& mat)
{
    return TVec2(p.x * mat.m[0][0] + p.y * mat.m[1][0] + mat.m[2][0],
                 p.x * mat.m[0][1] + p.y * mat.m[1][1] + mat.m[2][1]);
}

TVec2 TransformVector(const TVec2& v, const TMat3& mat)
{
    return TVec2(v.x * mat.m[0][0] + v.y * mat.m[1][0], v.x * mat.m[0][1] + v.y * mat.m[1][1]);
}

TMat3 operator*(const TMat3& a, const TMat3& b)
{
    TMat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
    return r;
}

TMat4::TMat4()
{
    SetIdentity();
}

TMat4::TMat4(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13,
             float m20, float m21, float m22, float m23, float m30, float m31, float m32, float m33)
    : m{{m00, m01, m02, m03}, {m10, m11, m12, m13}, {m20, m21, m22, m23}, {m30, m31, m32, m33}}
{
}

void TMat4::SetIdentity()
{
    *this = TMat4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

void TMat4::Translate(const TVec3& v)
{
    m[3][0] += v.x;
    m[3][1] += v.y;
    m[3][2] += v.z;
}

void TMat4::Scale(float sx, float sy, float sz)
{
    *this = *this * TMat4(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
}

void TMat4::Rotate(const TVec3& axis, float angle)
{
    float s = std::sin(angle);
    float c = std::cos(angle);
    float t = 1 - c;
    float x = axis.x;
    float y = axis.y;
    float z = axis.z;
    TMat4 r(t * x * x + c, t * x * y + s * z, t * x * z - s * y, 0, //
            t * x * y - s * z, t * y * y + c, t * y * z + s * x, 0, //
            t * x * z + s * y, t * y * z - s * x, t * z * z + c, 0, //
            0, 0, 0, 1);
    *this = *this * r;
}

void TMat4::RotateX(float angle)
{
    Rotate(TVec3(1, 0, 0), angle);
}

void TMat4::RotateZ(float angle)
{
    Rotate(TVec3(0, 0, 1), angle);
}

void TMat4::Rotate(float yaw, float pitch, float roll)
{
    float cy = std::cos(yaw);
    float sy = std::sin(yaw);
    float cp = std::cos(pitch);
    float sp = std::sin(pitch);
    float cr = std::cos(roll);
    float sr = std::sin(roll);
    TMat4 r(cr * cy + sr * sp * sy, sr * cp, sr * sp * cy - cr * sy, 0, //
            cr * sp * sy - sr * cy, cr * cp, sr * sy + cr * sp * cy, 0, //
            cp * sy, -sp, cp * cy, 0,                                   //
            0, 0, 0, 1);
    *this = *this * r;
}

void TMat4::SetPerspective(float zNear, float zFar, float fov, float aspect, const TVec2& shift)
{
    float h = std::cos(fov / 2) / std::sin(fov / 2);
    float depth = zFar / (zFar - zNear);
    *this = TMat4(h * aspect, 0, 0, 0, 0, h, 0, 0, 0, 0, depth, 1, 0, 0, -zNear * depth, 0);
    m[2][0] = std::fabs(shift.x) == 1.0f ? -10000.0f : -shift.x / (1 - std::fabs(shift.x));
    m[2][1] = std::fabs(shift.y) == 1.0f ? -10000.0f : shift.y / (1 - std::fabs(shift.y));
}

TMat4 operator*(const TMat4& a, const TMat4& b)
{
    TMat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}
