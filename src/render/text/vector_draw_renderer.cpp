// The rasteriser's output over TRenderer and TTexture.
#include "render/text/vector_draw_renderer.h"

#include "platform/shell/application.h"
#include "platform/seams/window_manager_seam.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "render/renderer/vertex_set.h"
#include "sys/display/render_states.h"

int TTextureVecTarget::GetWidth() const
{
    return mTexture != nullptr ? static_cast<int>(mTexture->GetWidth()) : 0;
}

int TTextureVecTarget::GetHeight() const
{
    return mTexture != nullptr ? static_cast<int>(mTexture->GetHeight()) : 0;
}

bool TTextureVecTarget::Lock(uint32_t*& pixels, int& pitch)
{
    return mTexture != nullptr && mTexture->Lock(pixels, pitch);
}

void TTextureVecTarget::Unlock()
{
    if (mTexture != nullptr)
        mTexture->Unlock();
}

void TRendererVecDrawDevice::SetNoTexture()
{
    if (TRenderer* renderer = TRenderer::Existing())
        renderer->SetTexture(nullptr);
}

void TRendererVecDrawDevice::DrawLineList(const TVecVertex* vertices, int count)
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || count <= 0)
        return;
    // Pre-transformed vertices skip the viewport's origin: text positions are relative to it,
    // as a texture's are.
    const TRect viewport = renderer->GetViewport();
    mMoved.assign(vertices, vertices + count);
    for (TVecVertex& v : mMoved)
    {
        v.x += static_cast<float>(viewport.left);
        v.y += static_cast<float>(viewport.top);
    }
    renderer->DrawVertices(sys::display::PT_LINELIST, TVertexSet{kVertexTransformed, mMoved.data(),
                                                                 static_cast<uint32_t>(count)});
}

void TRendererVecDrawDevice::SetDirty()
{
    TApplication* application = TApplication::Get();
    if (TWindowManagerSeam* manager = application ? application->GetWindowManager() : nullptr)
        manager->SetDirty();
}

std::shared_ptr<TVecDrawTexture> TRendererVecDrawDevice::CreateRenderTarget(int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    std::shared_ptr<TTexture> texture =
        TTexture::Create(static_cast<uint32_t>(width), static_cast<uint32_t>(height), true);
    if (texture == nullptr)
        return nullptr;
    return std::make_shared<TTextureVecTarget>(texture);
}

bool TRendererVecDrawDevice::BeginRenderTarget(const std::shared_ptr<TVecDrawTexture>& texture)
{
    TRenderer* renderer = TRenderer::Existing();
    auto* target = dynamic_cast<TTextureVecTarget*>(texture.get());
    if (renderer == nullptr || target == nullptr ||
        !renderer->BeginRenderTarget(target->GetTexture(), 0))
        return false;
    mTargetOpen = true;
    renderer->Begin2d();
    renderer->FillRect(TRect(0, 0, target->GetWidth(), target->GetHeight()), TVec4(0, 0, 0, 1));
    return true;
}

void TRendererVecDrawDevice::EndRenderTarget()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || !mTargetOpen)
        return;
    mTargetOpen = false;
    if (renderer->InBegin2d())
        renderer->End2d();
    renderer->EndDraw();
}
