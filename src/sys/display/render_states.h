// The device's state vocabulary: render states, texture-stage states and their values, primitive
// types, transforms, light types and clear flags, numbered as the platform numbered them.
#pragma once

#include <cstdint>

namespace sys::display
{

// Render states (index into the device's state table).
enum RenderState : uint32_t
{
    RS_ANTIALIAS = 2,
    RS_TEXTUREPERSPECTIVE = 4,
    RS_ZENABLE = 7,
    RS_FILLMODE = 8,
    RS_SHADEMODE = 9,
    RS_ZWRITEENABLE = 14,
    RS_ALPHATESTENABLE = 15,
    RS_LASTPIXEL = 16,
    RS_SRCBLEND = 19,
    RS_DESTBLEND = 20,
    RS_CULLMODE = 22,
    RS_ZFUNC = 23,
    RS_ALPHAREF = 24,
    RS_ALPHAFUNC = 25,
    RS_DITHERENABLE = 26,
    RS_ALPHABLENDENABLE = 27,
    RS_FOGENABLE = 28,
    RS_SPECULARENABLE = 29,
    RS_TEXTUREFACTOR = 60,
    RS_WRAP0 = 128,
    RS_CLIPPING = 136,
    RS_LIGHTING = 137,
    RS_AMBIENT = 139,
    RS_COLORVERTEX = 141,
    RS_LOCALVIEWER = 142,
    RS_NORMALIZENORMALS = 143,
    RS_DIFFUSEMATERIALSOURCE = 145,
    RS_SPECULARMATERIALSOURCE = 146,
    RS_AMBIENTMATERIALSOURCE = 147,
    RS_EMISSIVEMATERIALSOURCE = 148,
};
constexpr uint32_t RENDER_STATE_COUNT = 256;

// Values of RS_ANTIALIAS (a quality hint: accepted, no effect on the software rasteriser).
enum Antialias : uint32_t
{
    ANTIALIAS_NONE = 0,
    ANTIALIAS_SORTDEPENDENT = 1,
    ANTIALIAS_SORTINDEPENDENT = 2,
};

enum ShadeMode : uint32_t
{
    SHADE_FLAT = 1,
    SHADE_GOURAUD = 2,
    SHADE_PHONG = 3, // drawn as Gouraud
};

enum FillMode : uint32_t
{
    FILL_POINT = 1,
    FILL_WIREFRAME = 2,
    FILL_SOLID = 3,
};

enum BlendFactor : uint32_t
{
    BLEND_ZERO = 1,
    BLEND_ONE = 2,
    BLEND_SRCCOLOR = 3,
    BLEND_INVSRCCOLOR = 4,
    BLEND_SRCALPHA = 5,
    BLEND_INVSRCALPHA = 6,
    BLEND_DESTALPHA = 7,
    BLEND_INVDESTALPHA = 8,
    BLEND_DESTCOLOR = 9,
    BLEND_INVDESTCOLOR = 10,
    BLEND_SRCALPHASAT = 11,
};

enum CullMode : uint32_t
{
    CULL_NONE = 1,
    CULL_CW = 2,
    CULL_CCW = 3,
};

enum CompareFunc : uint32_t
{
    CMP_NEVER = 1,
    CMP_LESS = 2,
    CMP_EQUAL = 3,
    CMP_LESSEQUAL = 4,
    CMP_GREATER = 5,
    CMP_NOTEQUAL = 6,
    CMP_GREATEREQUAL = 7,
    CMP_ALWAYS = 8,
};

enum MaterialColorSource : uint32_t
{
    MCS_MATERIAL = 0,
    MCS_COLOR1 = 1, // the vertex's diffuse colour
    MCS_COLOR2 = 2, // the vertex's specular colour
};

// Texture-stage states (stage 0 is the only stage this device combines).
enum TextureStageState : uint32_t
{
    TSS_COLOROP = 1,
    TSS_COLORARG1 = 2,
    TSS_COLORARG2 = 3,
    TSS_ALPHAOP = 4,
    TSS_ALPHAARG1 = 5,
    TSS_ALPHAARG2 = 6,
    TSS_TEXCOORDINDEX = 11,
    TSS_ADDRESS = 12, // sets U and V together
    TSS_ADDRESSU = 13,
    TSS_ADDRESSV = 14,
    TSS_BORDERCOLOR = 15,
    TSS_MAGFILTER = 16,
    TSS_MINFILTER = 17,
    TSS_MIPFILTER = 18,
    TSS_MIPMAPLODBIAS = 19,
    TSS_MAXMIPLEVEL = 20,
};
constexpr uint32_t TEXTURE_STAGE_STATE_COUNT = 32;
constexpr uint32_t TEXTURE_STAGE_COUNT = 8;

enum TextureOp : uint32_t
{
    TOP_DISABLE = 1,
    TOP_SELECTARG1 = 2,
    TOP_SELECTARG2 = 3,
    TOP_MODULATE = 4,
    TOP_MODULATE2X = 5,
    TOP_MODULATE4X = 6,
    TOP_ADD = 7,
};

// Texture arguments: a selector in the low bits plus modifier flags.
enum TextureArg : uint32_t
{
    TA_DIFFUSE = 0,
    TA_CURRENT = 1,
    TA_TEXTURE = 2,
    TA_TFACTOR = 3,
    TA_SPECULAR = 4,
    TA_SELECTMASK = 0x0F,
    TA_COMPLEMENT = 0x10,
    TA_ALPHAREPLICATE = 0x20,
};

enum TextureAddress : uint32_t
{
    TADDRESS_WRAP = 1,
    TADDRESS_MIRROR = 2,
    TADDRESS_CLAMP = 3,
    TADDRESS_BORDER = 4, // sampled as CLAMP
};

// Magnification / minification filters.
enum TextureFilter : uint32_t
{
    TFILTER_POINT = 1,
    TFILTER_LINEAR = 2,
};

// Mip filters.
enum MipFilter : uint32_t
{
    TFP_NONE = 1,
    TFP_POINT = 2,
    TFP_LINEAR = 3,
};

enum PrimitiveType : uint32_t
{
    PT_POINTLIST = 1,
    PT_LINELIST = 2,
    PT_LINESTRIP = 3,
    PT_TRIANGLELIST = 4,
    PT_TRIANGLESTRIP = 5,
    PT_TRIANGLEFAN = 6,
};

enum TransformState : uint32_t
{
    TS_WORLD = 1,
    TS_VIEW = 2,
    TS_PROJECTION = 3,
};

enum LightType : uint32_t
{
    LIGHT_POINT = 1,
    LIGHT_SPOT = 2,
    LIGHT_DIRECTIONAL = 3,
};

// Clear flags.
constexpr uint32_t CLEAR_TARGET = 0x00000001;
constexpr uint32_t CLEAR_ZBUFFER = 0x00000002;
constexpr uint32_t CLEAR_STENCIL = 0x00000004;

} // namespace sys::display
