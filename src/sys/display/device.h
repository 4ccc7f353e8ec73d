// The 3-D device: render states, stage-0 texture stages, transforms, viewport, material and
// lights, scene brackets, Clear, and DrawPrimitive / DrawIndexedPrimitive over the software
// rasteriser, rendering into a memory surface and the depth buffer attached to it.
#pragma once

#include "sys/display/device_caps.h"
#include "sys/display/device_types.h"
#include "sys/display/lighting.h"
#include "sys/display/raster/raster_threads.h"
#include "sys/display/raster/rasterizer.h"
#include "sys/display/rect.h"
#include "sys/display/render_states.h"
#include "sys/display/result.h"
#include "sys/display/vertex_formats.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace sys::display
{

class Surface;

class Device
{
public:
    // A device rendering into `renderTarget` (any RGB format of the stand-in); the depth buffer is
    // the Z surface attached to the render target, looked up at every draw and clear as the
    // platform does. Null (and a log line) for a missing or unusable target.
    static std::unique_ptr<Device> Create(std::shared_ptr<Surface> renderTarget,
                                          const DeviceDesc& caps);
    Device(std::shared_ptr<Surface> renderTarget, const DeviceDesc& caps);
    // How many devices the process has made: a new device can take a freed one's address, so
    // this, not the address, tells whether the display was made again.
    static uint64_t CreatedCount();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    Result GetCaps(DeviceDesc* desc) const;
    // The texture formats the device samples: the display's list when the device was made
    // through CreateDevice, the default list otherwise. A false answer stops the walk.
    Result EnumTextureFormats(const std::function<bool(const PixelFormat&)>& callback) const;
    void SetTextureFormats(std::vector<PixelFormat> formats)
    {
        mTextureFormats = std::move(formats);
    }

    Result SetRenderTarget(std::shared_ptr<Surface> target, uint32_t flags);
    Result GetRenderTarget(std::shared_ptr<Surface>* target) const;

    // SurfaceLost when the render target is lost; Fail when already inside a scene.
    Result BeginScene();
    // Fail outside a scene.
    Result EndScene();
    bool IsInScene() const { return mInScene; }

    // Clears the rectangles (all of the viewport when count is 0 or rects null), each cut to the
    // viewport: colour (A8R8G8B8) with CLEAR_TARGET, depth 0..1 with CLEAR_ZBUFFER.
    Result Clear(uint32_t count, const Rect* rects, uint32_t flags, uint32_t color, float z,
                 uint32_t stencil);

    Result SetRenderState(RenderState state, uint32_t value);
    Result GetRenderState(RenderState state, uint32_t* value) const;
    Result SetTextureStageState(uint32_t stage, TextureStageState state, uint32_t value);
    Result GetTextureStageState(uint32_t stage, TextureStageState state, uint32_t* value) const;
    // Only stage 0 takes part in drawing; the others keep what they are given. Null unbinds, and
    // an unbound stage 0 samples as opaque white.
    Result SetTexture(uint32_t stage, std::shared_ptr<Surface> texture);
    Result GetTexture(uint32_t stage, std::shared_ptr<Surface>* texture) const;

    Result SetTransform(TransformState which, const Matrix& matrix);
    Result GetTransform(TransformState which, Matrix* matrix) const;

    // Accepts any rectangle inside the render target, width or height 0 included (then nothing is
    // drawn); InvalidParams for one reaching outside it. An injected failure answer comes first
    // and leaves the viewport as it was.
    Result SetViewport(const Viewport& viewport);
    Result GetViewport(Viewport* viewport) const;

    Result SetMaterial(const Material& material);
    Result GetMaterial(Material* material) const;
    Result SetLight(uint32_t index, const Light& light);
    Result GetLight(uint32_t index, Light* light) const;
    // Enabling a light never set gives it the default: white directional light along +z.
    Result LightEnable(uint32_t index, bool enable);
    Result GetLightEnable(uint32_t index, bool* enable) const;

    // FVF_VERTEX, FVF_LVERTEX or FVF_TLVERTEX vertices, 32 bytes each.
    Result DrawPrimitive(PrimitiveType type, uint32_t fvf, const void* vertices, uint32_t count,
                         uint32_t flags);
    // InvalidParams (nothing drawn) when an index reaches past vertexCount. Vertices past the
    // first 65536 are never read: no 16-bit index reaches them.
    Result DrawIndexedPrimitive(PrimitiveType type, uint32_t fvf, const void* vertices,
                                uint32_t vertexCount, const uint16_t* indices, uint32_t indexCount,
                                uint32_t flags);

    // Answers tests queue for the next calls (front first); empty means the normal behaviour.
    std::deque<Result> mBeginSceneAnswers;
    std::deque<Result> mEndSceneAnswers;
    std::deque<Result> mDrawAnswers;
    std::deque<Result> mSetViewportAnswers;

    // Pixels the rasteriser wrote since the device was made (tests and benchmarks).
    uint64_t GetPixelCount() const { return mRasterizer.GetPixelCount() + mBandPixels; }

    // Large triangles are rasterised in horizontal bands on up to this many threads (1: all on
    // the calling thread, the default). Every pixel belongs to one band and each band draws the
    // primitives in order, so the picture is the same for any count.
    void SetRasterThreads(uint32_t count);
    uint32_t GetRasterThreads() const { return mThreadCount; }

private:
    // A vertex in homogeneous clip space (screen space for pre-transformed vertices).
    struct ClipVertex
    {
        float x, y, z, w;
        float rhw; // pre-transformed vertices only
        float diffuse[4];
        float specular[4];
        float u, v;
    };

    // What both draw calls check first: an injected answer, the primitive type, the format.
    Result CheckDrawCall(PrimitiveType type, uint32_t fvf);
    bool PrepareDraw(uint32_t fvf);
    // The matrix a transform state names, or null.
    const Matrix* TransformSlot(TransformState which) const;
    // Transforms the draw's vertices, marks their sides off the scissor and their screen points;
    // a long array on the band threads.
    void TransformVertices(uint32_t fvf, const void* vertices, uint32_t count);
    void TransformRange(uint32_t fvf, const uint8_t* vertices, const Matrix& wvp, bool lit,
                        uint32_t begin, uint32_t end);
    void DrawIndexed(PrimitiveType type, const uint16_t* indices, uint32_t count);
    // The rows one band draws, widened by a pixel: primitives whose vertices all lie outside
    // them are left to the other bands without being set up.
    struct BandRows
    {
        float top, bottom;
    };
    void DrawTriangles(PrimitiveType type, const uint16_t* indices, uint32_t count,
                       Rasterizer& rasterizer, const BandRows* band = nullptr);
    bool MissesBand(const BandRows* band, uint32_t a, uint32_t b, uint32_t c) const;
    // Per vertex (mOffScissor), the sides of the viewport it lies beyond, where it reaches the
    // rasteriser unclipped; a triangle whose vertices share a side draws nothing and is dropped
    // before it is copied, projected and set up.
    void MarkOffScissor(uint32_t begin, uint32_t end);
    bool OffScissor(uint32_t a, uint32_t b, uint32_t c) const
    {
        return (mOffScissor[a] & mOffScissor[b] & mOffScissor[c]) != 0;
    }
    // Whether the draw has enough pixels and set-up work to share among the band threads and,
    // if so, the rows where its bands 0 .. bands - 1 start, and its end in cuts[bands].
    bool PlanBands(PrimitiveType type, const uint16_t* indices, uint32_t count, uint32_t bands,
                   int32_t* cuts);
    void DrawTriangle(uint32_t i0, uint32_t i1, uint32_t i2, uint32_t flat, Rasterizer& rasterizer);
    // Fills v with the quad's corners; whether its two triangles may be drawn as one at all: no
    // flat shading (each triangle takes its own first vertex's colours) and no corner to clip.
    bool MergeableCorners(uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                          const ClipVertex* v[4]) const;
    // Draws triangles (a, b, c) and (a, c, d) as one quad when that gives the same picture;
    // false (nothing drawn) otherwise.
    bool DrawAsQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d, Rasterizer& rasterizer);
    // Draws triangles (a, b, c) and (b, d, c), unclipped, as DrawTriangle would, through the
    // rasteriser's rectangle shortcut where it applies; false (nothing drawn) when a corner needs
    // clipping or flat shading is on.
    bool DrawAsSplitRectangle(uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                              Rasterizer& rasterizer);
    // Whether the cull mode drops this projected outline.
    bool Culls(const RasterVertex* const* outline, int count) const;
    void DrawLine(uint32_t i0, uint32_t i1);
    void DrawPoint(uint32_t i0);
    int ClipPolygon(ClipVertex* poly, int count, ClipVertex* scratch);
    RasterVertex Project(const ClipVertex& v) const;
    bool Inside(const ClipVertex& v) const;
    Surface* FindDepthBuffer() const;

    std::shared_ptr<Surface> mTarget;
    DeviceDesc mCaps;
    std::vector<PixelFormat> mTextureFormats;
    bool mInScene = false;
    uint32_t mRenderStates[RENDER_STATE_COUNT] = {};
    uint32_t mStageStates[TEXTURE_STAGE_COUNT][TEXTURE_STAGE_STATE_COUNT] = {};
    std::shared_ptr<Surface> mTextures[TEXTURE_STAGE_COUNT];
    Matrix mWorld, mView, mProjection;
    Viewport mViewport;
    Material mMaterial;
    std::map<uint32_t, Light> mLights;
    std::map<uint32_t, bool> mLightEnabled;

    // Per-draw working state, kept to avoid allocations.
    std::vector<ClipVertex> mClipVertices; // grown only: the draw's are the first mVertexCount
    uint32_t mVertexCount = 0;
    std::vector<uint16_t> mIdentity;
    std::vector<Light> mActiveLights;
    PixelState mPixelState;
    TextureView mTextureView;
    Rasterizer mRasterizer;
    RenderTargetView mTargetView;
    DepthTargetView mDepthView;
    bool mHasDepthView = false;
    uint32_t mThreadCount = 1;
    std::unique_ptr<RasterThreads> mThreads;
    bool mLastDrawBanded = false;
    uint64_t mBandPixels = 0;
    // Per vertex, its point on the screen; NaN behind the eye.
    struct ScreenPoint
    {
        float x, y;
    };
    std::vector<ScreenPoint> mScreen;
    std::vector<float> mRowWork; // per row of a banded draw, its estimated work
    std::vector<uint8_t> mOffScissor;
    VertexLighting mLighting;
    bool mPreTransformed = false;
    bool mClipNearFar = true;
    float mGuardX = 1, mGuardY = 1;
    uint32_t mCullMode = CULL_CCW;
    bool mFlatShade = false;
};

class Direct3D;

// Creates the device with that GUID (from Direct3D::EnumDevices) rendering into `renderTarget`:
// NotFound for an unknown GUID, InvalidParams for a missing or depth target. Answers queued with
// QueueCreateDeviceAnswer come first (the display code's SurfaceNotInVidMem and
// NoPaletteAttached fall-backs).
Result CreateDevice(const Direct3D& direct3d, const Guid& device,
                    std::shared_ptr<Surface> renderTarget, std::unique_ptr<Device>* out);
void QueueCreateDeviceAnswer(Result answer);
void ClearCreateDeviceAnswers();

} // namespace sys::display
