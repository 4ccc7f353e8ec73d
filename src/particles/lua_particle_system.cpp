// The Lua particle system: the script each system compiles its description in (its own, or one
// shared by every system), the script functions bound to it, spawning and the per-update run.
#include "particles/lua_particle_system.h"

#include "particles/compiled_particle_program.h"
#include "particles/particle_random.h"
#include "particles/particle_renderer_2d.h"
#include "particles/particle_runner.h"
#include "platform/files/asset_manager.h"
#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "platform/maths/random.h"
#include "render/textures/texture.h"
#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lualib.h"
#include "script/script.h"
#include "script/script_code.h"
#include "sys/process/identity.h"

#include <cmath>
#include <cstring>
#include <set>

extern const unsigned char kParticleLibrary[];
extern const unsigned long kParticleLibrarySize;

namespace
{
const char* const kOneScriptKey = "lpsonescript";
// Batches of this many particles run their program compiled: compiling costs about as much as
// running a few particles node by node.
constexpr int kCompiledFrom = 16;

// What every system shares: the generator, the live count and, with one script for all, that
// script, its holders and the next system number.
std::unique_ptr<TRandom> sRandom;
int sSystemCount = 0;
TScript* sSharedScript = nullptr;
int sSharedReferences = 0;
int32_t sNextId = 0;
// With one script, its functions stay bound to the system made last even after that system is
// gone: they check that their system still lives.
std::set<const void*> sLiveSystems;

bool IsOneScript()
{
    return IsEnabled(kOneScriptKey);
}

double ArgNumber(lua_State* L, int index)
{
    return lua_isnumber(L, index) ? lua_tonumber(L, index) : 0.0;
}

// Truncated toward zero; NaN and values no 64-bit integer holds read as 0.
int64_t ArgInteger(lua_State* L, int index)
{
    double n = ArgNumber(L, index);
    if (!(n > -9.2e18 && n < 9.2e18))
        return 0;
    return static_cast<int64_t>(n);
}

int RandomRange(lua_State* L)
{
    int64_t lo = ArgInteger(L, 1);
    int64_t hi = ArgInteger(L, 2);
    double span = static_cast<double>(hi - lo + 1);
    lua_pushnumber(L, static_cast<lua_Number>(lo) +
                          std::floor(GetParticleRandom().NextDouble() * span));
    return 1;
}

int RandomFloat(lua_State* L)
{
    lua_pushnumber(L, GetParticleRandom().NextDouble());
    return 1;
}

void SetGlobal(lua_State* L, const char* name)
{
    lua_pushstring(L, name);
    lua_insert(L, -2);
    lua_settable(L, LUA_GLOBALSINDEX);
}

void PushMember(lua_State* L, TParticleMember member)
{
    lua_pushuserdataref(L, reinterpret_cast<void*>(static_cast<uintptr_t>(member.GetWord())));
    lua_pushstring(L, "ParticleMemberMT");
    lua_gettable(L, LUA_GLOBALSINDEX);
    lua_setmetatable(L, -2);
}

bool ReadMember(lua_State* L, int index, TParticleMember* member)
{
    if (lua_type(L, index) != LUA_TUSERDATA)
        return false;
    // A boxed value: lua_touserdata answers the value itself.
    *member = TParticleMember::FromWord(
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(lua_touserdata(L, index))));
    return true;
}
} // namespace

TLuaParticleSystem::TLuaParticleSystem(TParticleRenderer* renderer)
    : mRenderer(renderer), mCollection(std::make_unique<TParticleCollection>())
{
    if (mRenderer == nullptr)
    {
        mRenderer = new T2dParticleRenderer();
        mOwnsRenderer = true;
    }
    if (!sRandom)
    {
        uint8_t guid[16];
        sys::NewGuid(guid);
        uint32_t words[4];
        std::memcpy(words, guid, sizeof(words));
        sRandom = std::make_unique<TRandom>();
        sRandom->SeedByArray(words, 4);
        SetParticleRandom(sRandom.get());
    }
    ++sSystemCount;
    sLiveSystems.insert(this);
    if (IsOneScript())
    {
        mId = sNextId++;
        mUpdateName = TString::Format("Update%d", mId);
    }
    else
    {
        mUpdateName = "Update";
    }
    Init();
}

TLuaParticleSystem::~TLuaParticleSystem()
{
    sLiveSystems.erase(this);
    if (--sSystemCount == 0)
    {
        SetParticleRandom(nullptr);
        sRandom.reset();
    }
    ReleaseScript();
    FreeParticleMemory();
    mCollection.reset();
    if (mOwnsRenderer)
        delete mRenderer;
}

void TLuaParticleSystem::ReleaseScript()
{
    if (mScript == nullptr)
        return;
    // An update error still being counted is told now, while the system can still be named.
    mScript->ForgetRepeatedErrors(this);
    if (mScript == sSharedScript)
    {
        if (--sSharedReferences == 0)
        {
            delete sSharedScript;
            sSharedScript = nullptr;
        }
        else
        {
            mScript->DoLuaString(TString::Format("Update%d=nil", mId));
            lua_setgcthreshold(mScript->GetState(), 0);
            lua_setgcthreshold(mScript->GetState(), 20);
        }
    }
    else
    {
        delete mScript;
    }
    mScript = nullptr;
}

void TLuaParticleSystem::ForgetCompiledPrograms()
{
    mCompiledInit = {};
    mCompiledAnim = {};
}

TCompiledParticleProgram& TLuaParticleSystem::Compiled(TCompiledBatch& batch,
                                                       const TParticleProgram& program,
                                                       uint32_t milliseconds)
{
    if (!batch.mProgram || batch.mMilliseconds != milliseconds)
    {
        // The program folds what depends on the step alone (a time scale of constants): it is
        // compiled again for another step, with a runner of that step.
        batch.mProgram.reset();
        batch.mRunner = std::make_unique<TParticleRunner>(
            mMemberWidths.data(), static_cast<uint32_t>(mMemberWidths.size()), milliseconds, this);
        batch.mProgram = std::make_unique<TCompiledParticleProgram>(program, *batch.mRunner);
        batch.mMilliseconds = milliseconds;
    }
    return *batch.mProgram;
}

void TLuaParticleSystem::FreeParticleMemory()
{
    mCollection->Clear();
    mParticleMemory.reset();
}

TLuaParticleSystem* TLuaParticleSystem::Self(lua_State* L)
{
    void* self = lua_touserdata(L, lua_upvalueindex(1));
    if (sLiveSystems.count(self) == 0)
        return nullptr;
    return static_cast<TLuaParticleSystem*>(self);
}

void TLuaParticleSystem::Bind(const char* name, int (*function)(lua_State*), int extra)
{
    lua_State* L = mScript->GetState();
    lua_pushstring(L, name);
    lua_pushlightuserdata(L, this);
    lua_pushnumber(L, extra);
    lua_pushcclosure(L, function, 2);
    lua_settable(L, LUA_GLOBALSINDEX);
}

void TLuaParticleSystem::BindSpawning()
{
    Bind("CreateParticles", CreateParticlesFunction);
    Bind("Done", DoneFunction);
}

void TLuaParticleSystem::Init()
{
    ForgetCompiledPrograms();
    mPendingProgram.clear();
    mAnimProgram.clear();
    mInitProgram.clear();
    mFunctions.clear();
    mMemberWidths.clear();
    FreeParticleMemory();

    bool newScript = false;
    if (IsOneScript() && sSharedScript != nullptr)
    {
        if (mScript != sSharedScript)
        {
            ReleaseScript();
            mScript = sSharedScript;
            ++sSharedReferences;
        }
    }
    else
    {
        ReleaseScript();
        mScript = new TScript();
        lua_State* L = mScript->GetState();
        int top = lua_gettop(L);
        luaopen_math(L);
        lua_settop(L, top);
        lua_newtable(L);
        SetGlobal(L, "ParticleMemberMT");
        lua_register(L, "RandomRange", RandomRange);
        lua_register(L, "RandomFloat", RandomFloat);
        newScript = true;
        if (IsOneScript())
        {
            sSharedScript = mScript;
            ++sSharedReferences;
        }
    }

    for (const char* name :
         {"assign", "lt", "le", "add", "unm", "mul", "div", "sub", "index", "vindex", "newindex"})
        mNodeTypes[name] = FindParticleNodeFactory(name);
    for (const char* name : {"fTimeScale", "fAge", "fPick", "fFade", "fOpenCycle", "fClosedCycle",
                             "fAlpha", "fDebug", "fDistance", "f2dRadius", "f2dRotation", "fVec",
                             "fRange", "fExpire", "fLess", "fLessEqual"})
        RegisterNodeType(name, FindParticleNodeFactory(name));

    Bind("SetRendererOption1", SetRendererOption, 1);
    Bind("SetRendererOption2", SetRendererOption, 2);
    Bind("SetRendererOption3", SetRendererOption, 3);
    Bind("SetRendererOption4", SetRendererOption, 4);
    Bind("SetNumParticles", SetNumParticles);
    Bind("_SetTexture", SetTextureFunction);
    Bind("CreateParticles", CreateParticlesFunction);
    Bind("Allocate", Allocate);
    Bind("CompileParam", CompileParam);
    Bind("GetParticleMemberParts", GetParticleMemberParts);
    Bind("GetParticleCount", GetParticleCountFunction);
    Bind("AccumulateInitStream", AccumulateInitStream);
    Bind("AccumulateAnimStream", AccumulateAnimStream);
    Bind("Done", DoneFunction);

    lua_State* L = mScript->GetState();
    if (newScript)
    {
        int top = lua_gettop(L);
        if (lua_dobuffer(L, reinterpret_cast<const char*>(kParticleLibrary), kParticleLibrarySize,
                         "particles.lua") != 0)
            Log("Particle library failed to run");
        lua_settop(L, top);
    }
    mFloatsPerParticle = 0;
    TString init = mRenderer->GetInitString();
    int top = lua_gettop(L);
    lua_dobuffer(L, init.c_str(), static_cast<size_t>(init.Length()),
                 "TLuaParticleSystem ParticleRenderer init string");
    lua_settop(L, top);
}

bool TLuaParticleSystem::Load(const TString& name)
{
    mSpawnDebt = 0.0f;
    if (name.Find(".lua") < 0)
    {
        mScript->DoLuaString(name);
    }
    else
    {
        if (!FileExists(name))
            return false;
        int slash = name.FindChar('/', kStringBackwards);
        mFolder = slash >= 0 ? name.Substr(0, slash + 1) : TString();
        std::shared_ptr<TScriptCode> code =
            TScriptCode::Get(name, mFolder + "?;assets/?;assets/fx/?");
        if (!code)
            return false;
        mScriptCode = code;
        mScript->DoLuaString(code->GetCode(), code->GetSize());
    }
    if (IsOneScript())
        mScript->DoLuaString(TString::Format("Update%d=Update", mId));
    mDone = false;
    return true;
}

void TLuaParticleSystem::Update(int32_t milliseconds)
{
    double seconds = milliseconds / 1000.0;
    if (IsOneScript())
        BindSpawning();
    // Called directly every frame; the statement only where the global is no function, for the
    // error it raises.
    if (!mScript->CallRepeatedGlobal(this, mUpdateName.c_str(), seconds))
        mScript->DoRepeatedLuaString(this,
                                     TString::Format("%s(%f);", mUpdateName.c_str(), seconds));

    if (mCollection->mLiveCount <= 0 || mAnimProgram.empty())
        return;
    const auto step = static_cast<uint32_t>(milliseconds);
    // A program already compiled for this step runs however few particles live; below the batch
    // size a new one is not worth compiling.
    TCompiledParticleProgram* anim = nullptr;
    if (mCollection->mLiveCount >= kCompiledFrom ||
        (mCompiledAnim.mProgram && mCompiledAnim.mMilliseconds == step))
        anim = &Compiled(mCompiledAnim, mAnimProgram, step);
    std::unique_ptr<TParticleRunner> runner;
    if (anim == nullptr)
        runner = std::make_unique<TParticleRunner>(
            mMemberWidths.data(), static_cast<uint32_t>(mMemberWidths.size()), step, this);
    auto& live = mCollection->mLive;
    for (auto it = live.begin(); it != live.end();)
    {
        if (anim ? anim->Run(*it) : runner->Run(mAnimProgram, *it))
            ++it;
        else
            it = mCollection->FreeBlock(it);
    }
}

void TLuaParticleSystem::Draw(const TVec3& offset)
{
    if (mCollection->mLiveCount > 0)
        mRenderer->Draw(offset, mAlpha, mCollection->mLive, mCollection->mCapacity);
}

unsigned TLuaParticleSystem::GetParticleCount() const
{
    return static_cast<unsigned>(mCollection->GetParticleCount());
}

void TLuaParticleSystem::RegisterNodeType(const TString& name, TParticleNodeFactory factory)
{
    mNodeTypes[name] = factory;
    mScript->DoLuaString(TString::Format("function %s(...) return CreateValue('%s',arg); end",
                                         name.c_str(), name.c_str()));
}

int32_t TLuaParticleSystem::RegisterFunction(const TString& name, TParticleFunction* function)
{
    int32_t n = static_cast<int32_t>(mFunctions.size());
    mFunctions.push_back(function);
    function->mName = name;
    TParticleMember member{static_cast<int16_t>(~n), function->GetWidth(0, nullptr)};
    lua_State* L = mScript->GetState();
    PushMember(L, member);
    SetGlobal(L, name.c_str());
    return ~n;
}

std::shared_ptr<TParticleFunction> TLuaParticleSystem::CreateNode(const TString& type)
{
    auto found = mNodeTypes.find(type);
    if (found != mNodeTypes.end() && found->second != nullptr)
        return found->second();
    mScript->DoLuaString(TString::Format("_ALERT('Type not found: %s');", type.c_str()));
    return nullptr;
}

TParticleFunction* TLuaParticleSystem::GetFunction(uint32_t n) const
{
    return n < mFunctions.size() ? mFunctions[n] : nullptr;
}

int TLuaParticleSystem::SetRendererOption(lua_State* L)
{
    TLuaParticleSystem* self = Self(L);
    if (self == nullptr)
        return 0;
    int count = static_cast<int>(lua_tonumber(L, lua_upvalueindex(2)));
    float values[4] = {0, 0, 0, 0};
    for (int k = 0; k < count; ++k)
        values[k] = static_cast<float>(ArgNumber(L, 2 + k));
    const char* name = lua_tostring(L, 1);
    self->mRenderer->SetOption(name != nullptr ? name : "", values);
    return 0;
}

int TLuaParticleSystem::SetNumParticles(lua_State* L)
{
    TLuaParticleSystem* self = Self(L);
    if (self == nullptr)
        return 0;
    self->ResizeParticles(ArgInteger(L, 1));
    return 0;
}

bool TLuaParticleSystem::ResizeParticles(int64_t count)
{
    size_t width = mFloatsPerParticle;
    if (count < 0 || count > INT32_MAX ||
        static_cast<uint64_t>(count) * width * sizeof(float) > kMaxBlockBytes)
    {
        Log("SetNumParticles refused %lld particles of %u floats", static_cast<long long>(count),
            static_cast<unsigned>(width));
        return false;
    }
    FreeParticleMemory();
    size_t floats = static_cast<size_t>(count) * width;
    mParticleMemory = std::make_unique<float[]>(floats > 0 ? floats : 1);
    mCollection->Resize(static_cast<int>(count), static_cast<int>(width), mParticleMemory.get());
    return true;
}

int TLuaParticleSystem::SetTextureFunction(lua_State* L)
{
    TLuaParticleSystem* self = Self(L);
    if (self == nullptr)
        return 0;
    const char* name = lua_tostring(L, 1);
    if (name == nullptr)
        return 0;
    // Loaded by name; failing that, one the description's folder already holds, not loaded.
    std::shared_ptr<TTexture> texture = TTexture::Get(name, 0);
    if (!texture)
    {
        std::shared_ptr<TAsset> cached =
            GetAssetManager()->GetAsset(TTexture::FileKey(self->mFolder + name, 0, false));
        texture = std::dynamic_pointer_cast<TTexture>(cached);
    }
    if (texture)
        self->mRenderer->SetTexture(texture);
    return 0;
}

int TLuaParticleSystem::CreateParticlesFunction(lua_State* L)
{
    if (TLuaParticleSystem* self = Self(L))
        self->CreateParticles(static_cast<float>(ArgNumber(L, 1)));
    return 0;
}

void TLuaParticleSystem::CreateParticles(float n)
{
    if (mCollection->mCapacity == 0 || !std::isfinite(n))
        return;
    mSpawnDebt += n;
    TCompiledParticleProgram* init = nullptr;
    if (mSpawnDebt >= static_cast<float>(kCompiledFrom) || mCompiledInit.mProgram)
        init = &Compiled(mCompiledInit, mInitProgram, 0);
    std::unique_ptr<TParticleRunner> runner;
    if (init == nullptr)
        runner = std::make_unique<TParticleRunner>(
            mMemberWidths.data(), static_cast<uint32_t>(mMemberWidths.size()), 0, this);
    const float* defaults = mRenderer->GetDefaultParticle();
    int defaultCount = mRenderer->GetParticleWidth();
    if (defaultCount > mFloatsPerParticle)
        defaultCount = mFloatsPerParticle;
    while (mSpawnDebt > 0.0f)
    {
        mSpawnDebt -= 1.0f;
        float* block = mCollection->TakeFreeBlock();
        if (block == nullptr)
            break;
        std::memset(block, 0, sizeof(float) * mFloatsPerParticle);
        std::memcpy(block, defaults, sizeof(float) * static_cast<size_t>(defaultCount));
        if (init)
            init->Run(block);
        else
            runner->Run(mInitProgram, block);
    }
}

int TLuaParticleSystem::Allocate(lua_State* L)
{
    TLuaParticleSystem* self = Self(L);
    if (self == nullptr)
        return 0;
    int64_t n = ArgInteger(L, 1);
    uint8_t width = static_cast<uint8_t>(n);
    if (self->mFloatsPerParticle + width > kMaxFloats ||
        self->mMemberWidths.size() >= static_cast<size_t>(TParticleContext::kMaxMembers))
        return luaL_error(L, "Allocate: %d more floats would pass %d per particle",
                          static_cast<int>(width), kMaxFloats);
    TParticleMember member{static_cast<int16_t>(self->mFloatsPerParticle), width};
    self->ForgetCompiledPrograms();
    self->mFloatsPerParticle = static_cast<uint8_t>(self->mFloatsPerParticle + width);
    self->mMemberWidths.push_back(width);
    // Members allocated after "SetNumParticles" would lie past the blocks: they are rebuilt wider
    // (their particles are lost, as with a second "SetNumParticles").
    if (self->mCollection->mCapacity > 0 &&
        self->mCollection->mStride < 4 * self->mFloatsPerParticle &&
        !self->ResizeParticles(self->mCollection->mCapacity))
        self->FreeParticleMemory();
    PushMember(L, member);
    return 1;
}

int TLuaParticleSystem::CompileParam(lua_State* L)
{
    TLuaParticleSystem* self = Self(L);
    int width = self != nullptr ? self->Compile(L, 1) : -1;
    if (width < 0)
        return 0;
    lua_pushnumber(L, width);
    return 1;
}

int TLuaParticleSystem::Compile(lua_State* L, int index)
{
    switch (lua_type(L, index))
    {
    case LUA_TNUMBER:
        mPendingProgram.push_back(
            {std::make_shared<FPush<float>>(static_cast<float>(lua_tonumber(L, index))), 0});
        return 1;
    case LUA_TUSERDATA:
    {
        TParticleMember member;
        if (!ReadMember(L, index, &member))
            return 0;
        // A member global left by another system's description may name floats this one lacks.
        bool known = member.mBase >= 0 ? member.mBase + (member.mSize & 0xFF) <= mFloatsPerParticle
                                       : static_cast<uint32_t>(~member.mBase) < mFunctions.size();
        if (!known)
        {
            Log("CompileParam: member %d (%u floats) is not this particle system's", member.mBase,
                static_cast<unsigned>(member.mSize));
            return -1;
        }
        mPendingProgram.push_back(
            {std::make_shared<FGetParticleParam>(member.mBase, static_cast<uint8_t>(member.mSize)),
             0});
        return member.mSize & 0xFF;
    }
    case LUA_TTABLE:
        break;
    default:
        return 0;
    }

    int table = index < 0 ? lua_gettop(L) + index + 1 : index;
    int count = lua_getn(L, table);
    bool mixed = false;
    for (int i = 1; i <= count && !mixed; ++i)
    {
        lua_rawgeti(L, table, i);
        mixed = lua_type(L, -1) != LUA_TNUMBER;
        lua_pop(L, 1);
    }
    lua_pushstring(L, "cmd");
    lua_rawget(L, table);
    bool hasCmd = !lua_isnil(L, -1);
    const char* cmd = lua_tostring(L, -1);
    TString type = cmd != nullptr ? TString(cmd) : TString();
    lua_pop(L, 1);

    if (!hasCmd && !mixed)
    {
        float v[4] = {0, 0, 0, 0};
        if (count < 2 || count > 4)
            return -1;
        for (int i = 0; i < count; ++i)
        {
            lua_rawgeti(L, table, i + 1);
            v[i] = static_cast<float>(lua_tonumber(L, -1));
            lua_pop(L, 1);
        }
        std::shared_ptr<TParticleFunction> node;
        if (count == 2)
            node = std::make_shared<FPush<TVec2>>(TVec2(v[0], v[1]));
        else if (count == 3)
            node = std::make_shared<FPush<TVec3>>(TVec3(v[0], v[1], v[2]));
        else
            node = std::make_shared<FPush<TVec4>>(TVec4(v[0], v[1], v[2], v[3]));
        mPendingProgram.push_back({node, 0});
        return count;
    }

    int top = lua_gettop(L);
    if (type.Length() == 0)
    {
        type = "fVec";
        lua_pushvalue(L, table);
    }
    else
    {
        lua_pushstring(L, "params");
        lua_rawget(L, table);
    }
    int params = lua_gettop(L);
    int paramCount = lua_istable(L, params) ? lua_getn(L, params) : 0;
    lua_pushstring(L, "CompileParameters");
    lua_gettable(L, LUA_GLOBALSINDEX);
    lua_pushvalue(L, params);
    lua_call(L, 1, 1);
    uint8_t widths[256] = {};
    int argc = paramCount > 255 ? 255 : paramCount;
    if (lua_istable(L, -1))
        for (int i = 0; i < argc; ++i)
        {
            lua_rawgeti(L, -1, i + 1);
            widths[i] = static_cast<uint8_t>(ArgInteger(L, -1));
            lua_pop(L, 1);
        }
    lua_settop(L, top);

    std::shared_ptr<TParticleFunction> node = CreateNode(type);
    if (!node)
        return -1;
    uint8_t width = node->GetWidth(static_cast<uint8_t>(argc), widths);
    mPendingProgram.push_back({node, static_cast<uint8_t>(argc)});
    return width;
}

int TLuaParticleSystem::GetParticleMemberParts(lua_State* L)
{
    TParticleMember member;
    if (!ReadMember(L, 1, &member))
        return 0;
    lua_pushnumber(L, member.mBase);
    lua_pushnumber(L, member.mSize);
    return 2;
}

int TLuaParticleSystem::GetParticleCountFunction(lua_State* L)
{
    TLuaParticleSystem* self = Self(L);
    lua_pushnumber(L, self != nullptr ? self->GetParticleCount() : 0);
    return 1;
}

int TLuaParticleSystem::AccumulateInitStream(lua_State* L)
{
    TLuaParticleSystem* self = Self(L);
    if (self == nullptr)
        return 0;
    self->ForgetCompiledPrograms();
    self->mInitProgram.insert(self->mInitProgram.end(), self->mPendingProgram.begin(),
                              self->mPendingProgram.end());
    self->mPendingProgram.clear();
    return 0;
}

int TLuaParticleSystem::AccumulateAnimStream(lua_State* L)
{
    TLuaParticleSystem* self = Self(L);
    if (self == nullptr)
        return 0;
    self->ForgetCompiledPrograms();
    self->mAnimProgram.insert(self->mAnimProgram.end(), self->mPendingProgram.begin(),
                              self->mPendingProgram.end());
    self->mPendingProgram.clear();
    return 0;
}

int TLuaParticleSystem::DoneFunction(lua_State* L)
{
    if (TLuaParticleSystem* self = Self(L))
        self->mDone = true;
    return 0;
}
