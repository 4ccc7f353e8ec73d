// TLuaParticleSystem: one particle effect whose Lua description compiles the init and anim node
// programs and spawns particles each update; TParticleMember, a member as scripts hold it.
#pragma once

#include "particles/particle_collection.h"
#include "particles/particle_function.h"
#include "particles/particle_nodes.h"
#include "particles/particle_renderer.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <map>
#include <memory>
#include <vector>

class TCompiledParticleProgram;
class TParticleRunner;
class TScript;
class TScriptCode;
struct lua_State;

// A member as scripts see it: a signed 16-bit base (a float index, or ~n for registered function n)
// in the low half and an unsigned 16-bit size in the high half of one word.
struct TParticleMember
{
    int16_t mBase = 0;
    uint16_t mSize = 0;

    uint32_t GetWord() const
    {
        return static_cast<uint16_t>(mBase) | (static_cast<uint32_t>(mSize) << 16);
    }
    static TParticleMember FromWord(uint32_t word)
    {
        return {static_cast<int16_t>(word & 0xFFFF), static_cast<uint16_t>(word >> 16)};
    }
};

class TLuaParticleSystem : public TParticleFunctionTable
{
public:
    static constexpr int kMaxFloats = 255;
    // The largest particle area "SetNumParticles" accepts.
    static constexpr size_t kMaxBlockBytes = 64u << 20;

    // Without a renderer the system makes a 2-D one and owns it.
    explicit TLuaParticleSystem(TParticleRenderer* renderer = nullptr);
    ~TLuaParticleSystem() override;
    TLuaParticleSystem(const TLuaParticleSystem&) = delete;
    TLuaParticleSystem& operator=(const TLuaParticleSystem&) = delete;

    // Description text (no ".lua" in the name) or a description file; false when the file is
    // missing or does not compile (the programs stay as they were).
    virtual bool Load(const TString& name);
    virtual void Update(int32_t milliseconds);

    void Init();
    void Draw(const TVec3& offset);
    unsigned GetParticleCount() const;
    // Scripts may then write name(...) for an expression of that type.
    void RegisterNodeType(const TString& name, TParticleNodeFactory factory);
    // The function stays the caller's; scripts read it through the global `name`. Answers ~n.
    int32_t RegisterFunction(const TString& name, TParticleFunction* function);
    // Null (and an alert in the script) for an unknown type.
    std::shared_ptr<TParticleFunction> CreateNode(const TString& type);
    TParticleFunction* GetFunction(uint32_t n) const override;

    TScript* GetScript() const { return mScript; }
    TParticleRenderer* GetRenderer() const { return mRenderer; }
    const TParticleProgram& GetInitProgram() const { return mInitProgram; }
    const TParticleProgram& GetAnimProgram() const { return mAnimProgram; }
    uint8_t GetFloatsPerParticle() const { return mFloatsPerParticle; }
    // The members' widths in allocation order, as the programs' runners take them.
    const std::vector<uint8_t>& GetMemberWidths() const { return mMemberWidths; }
    TParticleCollection& GetCollection() { return *mCollection; }
    bool IsDone() const { return mDone; }
    float GetSpawnDebt() const { return mSpawnDebt; }
    int32_t GetId() const { return mId; }

    float mAlpha = 1.0f;

private:
    // Script functions: each reads the system from its closure's upvalue.
    static TLuaParticleSystem* Self(lua_State* L);
    static int SetRendererOption(lua_State* L);
    static int SetNumParticles(lua_State* L);
    static int SetTextureFunction(lua_State* L);
    static int CreateParticlesFunction(lua_State* L);
    static int Allocate(lua_State* L);
    static int CompileParam(lua_State* L);
    static int GetParticleMemberParts(lua_State* L);
    static int GetParticleCountFunction(lua_State* L);
    static int AccumulateInitStream(lua_State* L);
    static int AccumulateAnimStream(lua_State* L);
    static int DoneFunction(lua_State* L);

    void Bind(const char* name, int (*function)(lua_State*), int extra = 0);
    void BindSpawning();
    void CreateParticles(float n);
    // Compiles the value at stack index `index` into the pending program; answers its width, or -1
    // for no width at all.
    int Compile(lua_State* L, int index);
    void FreeParticleMemory();
    // Blocks of the current width for `count` particles; refused (logged) for a negative count or
    // an area over kMaxBlockBytes.
    bool ResizeParticles(int64_t count);
    void ReleaseScript();
    // Drops the kept compiled programs: called wherever a program or the member layout changes.
    void ForgetCompiledPrograms();
    // The program compiled for a batch of `milliseconds`, kept across updates with the runner it
    // was compiled against; made when absent or compiled for another step.
    struct TCompiledBatch
    {
        std::unique_ptr<TParticleRunner> mRunner;
        std::unique_ptr<TCompiledParticleProgram> mProgram;
        uint32_t mMilliseconds = 0;
    };
    TCompiledParticleProgram& Compiled(TCompiledBatch& batch, const TParticleProgram& program,
                                       uint32_t milliseconds);

    TParticleRenderer* mRenderer = nullptr;
    bool mOwnsRenderer = false;
    std::unique_ptr<TParticleCollection> mCollection;
    TScript* mScript = nullptr;
    int32_t mId = 0;
    std::shared_ptr<TScriptCode> mScriptCode;
    TString mFolder;
    std::unique_ptr<float[]> mParticleMemory;
    uint8_t mFloatsPerParticle = 0;
    std::vector<uint8_t> mMemberWidths;
    std::vector<TParticleFunction*> mFunctions;
    std::map<TString, TParticleNodeFactory> mNodeTypes;
    TParticleProgram mInitProgram;
    TParticleProgram mAnimProgram;
    TParticleProgram mPendingProgram;
    bool mDone = false;
    float mSpawnDebt = 0.0f;
    // The script's update function: "Update", or "Update<id>" with one script for all.
    TString mUpdateName;
    TCompiledBatch mCompiledInit;
    TCompiledBatch mCompiledAnim;
};
