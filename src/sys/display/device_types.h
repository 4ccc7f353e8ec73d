// Plain records the device takes: matrices (row vectors, row-major), colours, the material, lights
// and the viewport, in the platform's layouts.
#pragma once

#include <cstdint>

namespace sys::display
{

// Row-major 4x4; a point is a row vector multiplied on the left: v' = v * M, translation in row 3.
struct Matrix
{
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    static Matrix Identity() { return Matrix{}; }
    bool operator==(const Matrix&) const = default;
};

// a * b: first a, then b.
Matrix Multiply(const Matrix& a, const Matrix& b);

// The utility library's off-centre left-handed orthographic projection: x from left..right to
// -1..1, y from bottom..top to -1..1, z from near..far to 0..1. The 2-D projection starts from it.
Matrix OrthoOffCenterLH(float left, float right, float bottom, float top, float zNear, float zFar);

struct Vector3
{
    float x = 0, y = 0, z = 0;
};

struct ColorValue
{
    float r = 0, g = 0, b = 0, a = 0;
};

// 17 floats: diffuse, ambient, specular, emissive, power.
struct Material
{
    ColorValue diffuse;
    ColorValue ambient;
    ColorValue specular;
    ColorValue emissive;
    float power = 0;
};
static_assert(sizeof(Material) == 17 * sizeof(float), "material is 17 floats");

struct Light
{
    uint32_t type = 0; // LightType; 0 is not a valid light
    ColorValue diffuse;
    ColorValue specular;
    ColorValue ambient;
    Vector3 position;
    Vector3 direction;
    float range = 0;
    float falloff = 0;
    float attenuation0 = 0;
    float attenuation1 = 0;
    float attenuation2 = 0;
    float theta = 0; // inner cone, full angle in radians
    float phi = 0;   // outer cone
};

// Pixel rectangle the clip-space square maps to, and the depth range.
struct Viewport
{
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    float minZ = 0;
    float maxZ = 1;
    bool operator==(const Viewport&) const = default;
};

} // namespace sys::display
