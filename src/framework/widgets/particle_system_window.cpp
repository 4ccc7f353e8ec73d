// ParticleSystemWindow: the style keys it reads, its drawing inside a 2-D block and its per-frame
// update from the frame clock.
#include "framework/widgets/particle_system_window.h"

#include "framework/core/delta_time.h"
#include "render/renderer/renderer.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_style.h"

namespace
{
// Ends the 2-D block on every way out of Draw when Draw began it.
struct T2dBlock
{
    explicit T2dBlock(TRenderer* renderer) : mRenderer(renderer) {}
    ~T2dBlock()
    {
        if (mRenderer != nullptr)
            mRenderer->End2d();
    }
    TRenderer* mRenderer;
};
} // namespace

ParticleSystemWindow::ParticleSystemWindow() : mSystem(std::make_unique<TLuaParticleSystem>()) {}

ParticleSystemWindow::~ParticleSystemWindow()
{
    mSystem.reset();
    mVectors.clear();
}

TWindow* ParticleSystemWindow::Create()
{
    return new ParticleSystemWindow();
}

TClassId ParticleSystemWindow::GetClassId()
{
    return reinterpret_cast<TClassId>(&ParticleSystemWindow::Create);
}

void ParticleSystemWindow::PostInit(TWindowStyle& style)
{
    int32_t startTime = style.GetInt("initialstarttime", 0);

    std::unique_ptr<TLuaTable> functions(style.GetTable("functions"));
    std::unique_ptr<TLuaTable> data(style.GetTable("data"));
    RegisterParticleTables(*mSystem, functions.get(), data.get(), mVectors);

    mSystem->Load(style.GetString("script", TString()));
    mSystem->Update(startTime);
}

void ParticleSystemWindow::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    T2dBlock block(renderer != nullptr && renderer->Begin2d() ? renderer : nullptr);
    mSystem->Draw(TVec3(0, 0, 0));
}

bool ParticleSystemWindow::Animate()
{
    DeltaTime* clock = DeltaTime::Instance();
    mSystem->Update(static_cast<int32_t>(clock != nullptr ? clock->GetStep() : 0));
    return true;
}
