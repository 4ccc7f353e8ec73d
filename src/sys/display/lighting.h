// The fixed-function vertex lighting: ambient, directional, point and spot lights with range and
// attenuation, material colours and specular power, computed in view space.
#pragma once

#include "sys/display/device_types.h"

#include <cstdint>
#include <vector>

namespace sys::display
{

struct LitVertex
{
    float diffuse[4];  // r, g, b, a in 0..255
    float specular[4]; // r, g, b, a in 0..255
};

class VertexLighting
{
public:
    // Takes the transforms and state of one draw; lights are copied and moved into view space.
    void Prepare(const Matrix& world, const Matrix& view, const Material& material,
                 uint32_t ambient, const std::vector<Light>& lights, bool specular,
                 bool normalizeNormals, bool localViewer);

    // Colours of a vertex at object-space position p with object-space normal n.
    LitVertex Evaluate(const Vector3& p, const Vector3& n) const;

private:
    struct ViewLight
    {
        Light mLight;
        Vector3 mPosition;  // view space
        Vector3 mDirection; // view space, unit length
        float mCosHalfTheta = 1;
        float mCosHalfPhi = 1;
    };

    Matrix mWorldView;
    float mNormalMatrix[3][3] = {}; // inverse transpose of the world-view 3x3
    Material mMaterial;
    ColorValue mAmbient;
    std::vector<ViewLight> mLights;
    bool mSpecular = false;
    bool mNormalize = true;
    bool mLocalViewer = true;
};

} // namespace sys::display
