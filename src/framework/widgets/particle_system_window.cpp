// ParticleSystemWindow: the style keys it reads, its drawing inside a 2-D block and its per-frame
// update from the frame clock.
#include "framework/widgets/particle_system_window.h"

#include "framework/core/delta_time.h"
#include "render/renderer/renderer.h"
#include "script/lauxlib.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_style.h"

namespace
{
// The three node types a window's description may ask for by name.
TParticleNodeFactory KnownFunction(const TString& name)
{
    if (name == "fSin")
        return &ParticleSin::Create;
    if (name == "fNormalize")
        return &ParticleNormalize::Create;
    if (name == "fRandom")
        return &ParticleRandom::Create;
    return nullptr;
}

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
    if (functions != nullptr)
    {
        TLuaObjectWrapper* key = nullptr;
        while (TLuaTable* value = functions->Next(&key))
        {
            TString name = value->ToString();
            delete value;
            if (TParticleNodeFactory factory = KnownFunction(name))
                mSystem->RegisterNodeType(name, factory);
        }
    }

    std::unique_ptr<TLuaTable> data(style.GetTable("data"));
    if (data != nullptr)
    {
        TLuaObjectWrapper* key = nullptr;
        while (TLuaTable* entry = data->Next(&key))
        {
            auto vector = std::make_shared<ParticleVector>();
            mVectors.push_back(vector);
            lua_State* L = entry->GetState();
            entry->Push();
            int n = lua_istable(L, -1) ? luaL_getn(L, -1) : 0;
            lua_pop(L, 1);
            vector->mWidth = static_cast<uint8_t>(n);
            if (n >= 1 && n <= 4)
                for (int i = 0; i < n; ++i)
                    vector->mValue[i] = static_cast<float>(entry->GetNumberAt(i + 1, 0));
            delete entry;
            mSystem->RegisterFunction(key->ToString(), vector.get());
        }
    }

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
