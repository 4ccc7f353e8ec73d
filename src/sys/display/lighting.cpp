// Fixed-function vertex lighting in view space.
#include "sys/display/lighting.h"

#include "sys/display/render_states.h"

#include <algorithm>
#include <cmath>

namespace sys::display
{
namespace
{

Vector3 TransformPoint(const Vector3& v, const Matrix& m)
{
    return Vector3{v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0],
                   v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1],
                   v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2]};
}

Vector3 TransformDirection(const Vector3& v, const Matrix& m)
{
    return Vector3{v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
                   v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
                   v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

float Dot(const Vector3& a, const Vector3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector3 Normalized(const Vector3& v)
{
    float len = std::sqrt(Dot(v, v));
    if (!(len > 0.0f))
        return v;
    return Vector3{v.x / len, v.y / len, v.z / len};
}

ColorValue ColorFromArgb(uint32_t c)
{
    return ColorValue{static_cast<float>((c >> 16) & 0xFF) / 255.0f,
                      static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                      static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>(c >> 24) / 255.0f};
}

float ToChannel(float v)
{
    return std::clamp(v, 0.0f, 1.0f) * 255.0f;
}

} // namespace

void VertexLighting::Prepare(const Matrix& world, const Matrix& view, const Material& material,
                             uint32_t ambient, const std::vector<Light>& lights, bool specular,
                             bool normalizeNormals, bool localViewer)
{
    mWorldView = Multiply(world, view);
    // Normals go through the inverse transpose so non-uniform scaling keeps them perpendicular.
    const auto& m = mWorldView.m;
    float c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    float c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    float c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    float c10 = m[0][2] * m[2][1] - m[0][1] * m[2][2];
    float c11 = m[0][0] * m[2][2] - m[0][2] * m[2][0];
    float c12 = m[0][1] * m[2][0] - m[0][0] * m[2][1];
    float c20 = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    float c21 = m[0][2] * m[1][0] - m[0][0] * m[1][2];
    float c22 = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    float det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    float inv = det != 0.0f ? 1.0f / det : 0.0f;
    // Row vector n' = n * (M^-1)^T; (M^-1)^T equals the cofactor matrix divided by det.
    float cof[3][3] = {{c00, c01, c02}, {c10, c11, c12}, {c20, c21, c22}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            mNormalMatrix[r][c] = cof[r][c] * inv;

    mMaterial = material;
    mAmbient = ColorFromArgb(ambient);
    mSpecular = specular;
    mNormalize = normalizeNormals;
    mLocalViewer = localViewer;
    mLights.clear();
    for (const Light& light : lights)
    {
        ViewLight vl;
        vl.mLight = light;
        vl.mPosition = TransformPoint(light.position, view);
        vl.mDirection = Normalized(TransformDirection(light.direction, view));
        vl.mCosHalfTheta = std::cos(light.theta * 0.5f);
        vl.mCosHalfPhi = std::cos(light.phi * 0.5f);
        mLights.push_back(vl);
    }
}

LitVertex VertexLighting::Evaluate(const Vector3& p, const Vector3& n) const
{
    Vector3 pos = TransformPoint(p, mWorldView);
    Vector3 normal{
        n.x * mNormalMatrix[0][0] + n.y * mNormalMatrix[1][0] + n.z * mNormalMatrix[2][0],
        n.x * mNormalMatrix[0][1] + n.y * mNormalMatrix[1][1] + n.z * mNormalMatrix[2][1],
        n.x * mNormalMatrix[0][2] + n.y * mNormalMatrix[1][2] + n.z * mNormalMatrix[2][2]};
    if (mNormalize)
        normal = Normalized(normal);
    Vector3 toEye = mLocalViewer ? Normalized(Vector3{-pos.x, -pos.y, -pos.z}) : Vector3{0, 0, -1};

    const Material& mat = mMaterial;
    float dr = mat.emissive.r + mAmbient.r * mat.ambient.r;
    float dg = mat.emissive.g + mAmbient.g * mat.ambient.g;
    float db = mat.emissive.b + mAmbient.b * mat.ambient.b;
    float sr = 0, sg = 0, sb = 0;

    for (const ViewLight& vl : mLights)
    {
        const Light& light = vl.mLight;
        Vector3 toLight;
        float atten = 1.0f;
        if (light.type == LIGHT_DIRECTIONAL)
        {
            toLight = Vector3{-vl.mDirection.x, -vl.mDirection.y, -vl.mDirection.z};
        }
        else
        {
            Vector3 d{vl.mPosition.x - pos.x, vl.mPosition.y - pos.y, vl.mPosition.z - pos.z};
            float dist = std::sqrt(Dot(d, d));
            if (dist > light.range)
                continue;
            toLight = dist > 0.0f ? Vector3{d.x / dist, d.y / dist, d.z / dist} : Vector3{0, 0, 0};
            float denom =
                light.attenuation0 + light.attenuation1 * dist + light.attenuation2 * dist * dist;
            atten = denom > 0.0f ? 1.0f / denom : 1.0f;
            if (light.type == LIGHT_SPOT)
            {
                float rho = -Dot(toLight, vl.mDirection);
                float spot;
                if (rho > vl.mCosHalfTheta)
                    spot = 1.0f;
                else if (rho <= vl.mCosHalfPhi)
                    spot = 0.0f;
                else
                {
                    float t = (rho - vl.mCosHalfPhi) / (vl.mCosHalfTheta - vl.mCosHalfPhi);
                    spot = light.falloff == 1.0f ? t : std::pow(t, light.falloff);
                }
                atten *= spot;
            }
        }
        if (atten <= 0.0f)
            continue;
        float nl = std::max(Dot(normal, toLight), 0.0f);
        dr += atten * (light.ambient.r * mat.ambient.r + light.diffuse.r * mat.diffuse.r * nl);
        dg += atten * (light.ambient.g * mat.ambient.g + light.diffuse.g * mat.diffuse.g * nl);
        db += atten * (light.ambient.b * mat.ambient.b + light.diffuse.b * mat.diffuse.b * nl);
        if (mSpecular && nl > 0.0f)
        {
            Vector3 half =
                Normalized(Vector3{toLight.x + toEye.x, toLight.y + toEye.y, toLight.z + toEye.z});
            float nh = std::max(Dot(normal, half), 0.0f);
            float s = nh > 0.0f ? std::pow(nh, mat.power) * atten : 0.0f;
            sr += s * light.specular.r * mat.specular.r;
            sg += s * light.specular.g * mat.specular.g;
            sb += s * light.specular.b * mat.specular.b;
        }
    }

    LitVertex out;
    out.diffuse[0] = ToChannel(dr);
    out.diffuse[1] = ToChannel(dg);
    out.diffuse[2] = ToChannel(db);
    out.diffuse[3] = ToChannel(mat.diffuse.a);
    out.specular[0] = ToChannel(sr);
    out.specular[1] = ToChannel(sg);
    out.specular[2] = ToChannel(sb);
    out.specular[3] = 0.0f;
    return out;
}

} // namespace sys::display
