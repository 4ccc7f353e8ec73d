// The framework's particle nodes: their argument checks, random draws and the path's length table.
#include "framework/widgets/particle_functions.h"

#include "framework/core/delta_time.h"
#include "particles/lua_particle_system.h"
#include "script/lauxlib.h"
#include "script/lua_object_wrapper.h"

#include <cmath>

namespace
{
#define MW_FRAMEWORK_PARTICLE_NODE(Class)                                                          \
    const void* Class::ClassId()                                                                   \
    {                                                                                              \
        static const char sId = 0;                                                                 \
        return &sId;                                                                               \
    }                                                                                              \
    std::shared_ptr<TParticleFunction> Class::Create()                                             \
    {                                                                                              \
        return std::make_shared<Class>();                                                          \
    }
} // namespace

MW_FRAMEWORK_PARTICLE_NODE(ParticleSin)
MW_FRAMEWORK_PARTICLE_NODE(ParticleRandom)
MW_FRAMEWORK_PARTICLE_NODE(ParticleNormalize)
MW_FRAMEWORK_PARTICLE_NODE(ParticleColorAdjust)

// The clock's last step; 0 while no clock exists.
uint32_t FrameStep()
{
    DeltaTime* clock = DeltaTime::Instance();
    return clock != nullptr ? clock->GetStep() : 0;
}

float ParticleFraction(TRandom& random)
{
    return static_cast<float>(random.Next() * 2.3283063671497593e-10);
}

uint8_t ParticleSin::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool ParticleSin::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc != 1 || frame.ArgWidth(0) != 1)
        return false;
    float value = std::sin(frame.Arg(0)[0]);
    return frame.Push(&value, 1);
}

ParticleRandom::ParticleRandom()
{
    mRandom.Seed(DeltaTime::Now());
}

uint8_t ParticleRandom::GetWidth(uint8_t argc, const uint8_t* widths) const
{
    return argc > 0 && widths != nullptr ? widths[0] : 0;
}

bool ParticleRandom::Execute(TParticleContext&, TParticleFrame& frame)
{
    int argc = frame.mArgc;
    if (argc == 0 || argc % 2 != 0)
        return false;
    float total = 0;
    for (int k = 1; k < argc; k += 2)
        total += frame.Arg(k)[0];
    float r = ParticleFraction(mRandom) * total;
    // With no pair reaching r (negative weights), the last pair is taken.
    int chosen = argc - 2;
    float sum = 0;
    for (int k = 0; k < argc; k += 2)
    {
        sum += frame.Arg(k + 1)[0];
        if (sum >= r)
        {
            chosen = k;
            break;
        }
    }
    uint8_t width = frame.ArgWidth(0);
    uint8_t available = frame.ArgWidth(chosen);
    float value[4] = {0, 0, 0, 0};
    for (int k = 0; k < width && k < available; ++k)
        value[k] = frame.Arg(chosen)[k];
    return frame.Push4(value, width);
}

uint8_t ParticleNormalize::GetWidth(uint8_t, const uint8_t*) const
{
    return 2;
}

bool ParticleNormalize::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc != 1 || frame.ArgWidth(0) != 2)
        return false;
    float v[2] = {frame.Arg(0)[0], frame.Arg(0)[1]};
    float length = std::sqrt(v[0] * v[0] + v[1] * v[1]);
    if (length != 0)
    {
        v[0] /= length;
        v[1] /= length;
    }
    return frame.Push(v, 2);
}

ParticleColorAdjust::ParticleColorAdjust()
{
    mRandom.Seed(FrameStep());
}

uint8_t ParticleColorAdjust::GetWidth(uint8_t, const uint8_t*) const
{
    return 3;
}

bool ParticleColorAdjust::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc != 3 || frame.ArgWidth(0) != 1 || frame.ArgWidth(1) != 1 ||
        frame.ArgWidth(2) < 3)
        return false;
    float lo = frame.Arg(0)[0];
    float hi = frame.Arg(1)[0];
    float k = lo + (hi - lo) * ParticleFraction(mRandom);
    const float* colour = frame.Arg(2);
    float out[3];
    for (int c = 0; c < 3; ++c)
        out[c] = colour[c] + (1 - colour[c]) * k;
    return frame.Push(out, 3);
}

uint8_t ParticleVector::GetWidth(uint8_t, const uint8_t*) const
{
    return mWidth;
}

bool ParticleVector::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (mWidth < 1 || mWidth > 4)
        return false;
    return frame.Push(mValue, mWidth);
}

void ParticlePathRandom::SetPath(const TString& text)
{
    std::vector<float> numbers;
    const char* p = text.c_str();
    if (*p != '\0')
        ++p;
    while (*p != '\0')
    {
        const char* comma = p;
        while (*comma != '\0' && *comma != ',')
            ++comma;
        TString token(p, static_cast<unsigned>(comma - p));
        // The last number may lack its comma; whatever follows the last comma counts only when it
        // holds a digit.
        bool digit = false;
        for (const char* c = p; c < comma; ++c)
            digit = digit || (*c >= '0' && *c <= '9');
        if (*comma == ',' || digit)
            numbers.push_back(token.ToFloat());
        p = *comma == ',' ? comma + 1 : comma;
    }
    mPoints.clear();
    for (size_t i = 0; i + 1 < numbers.size(); i += 2)
        mPoints.emplace_back(numbers[i], numbers[i + 1]);
    mRandom.Seed(FrameStep());

    mCumulative.assign(mPoints.size(), 0.0f);
    float total = 0;
    for (size_t i = 1; i < mPoints.size(); ++i)
    {
        float dx = mPoints[i].x - mPoints[i - 1].x;
        float dy = mPoints[i].y - mPoints[i - 1].y;
        total += std::sqrt(dx * dx + dy * dy);
        mCumulative[i] = total;
    }
    if (total > 0)
        for (float& share : mCumulative)
            share /= total;
}

uint8_t ParticlePathRandom::GetWidth(uint8_t, const uint8_t*) const
{
    return 2;
}

bool ParticlePathRandom::Execute(TParticleContext&, TParticleFrame& frame)
{
    TVec2 point(0, 0);
    size_t count = mPoints.size();
    if (count > 0)
        point = mPoints[0];
    if (count >= 2 && mCumulative[count - 1] > 0)
    {
        float r = ParticleFraction(mRandom);
        size_t i = 0;
        while (i + 1 < count && !(r <= mCumulative[i]))
            ++i;
        if (i == 0 || r == mCumulative[i])
        {
            point = mPoints[i];
        }
        else
        {
            float span = mCumulative[i] - mCumulative[i - 1];
            float t = span > 0 ? (r - mCumulative[i - 1]) / span : 0.0f;
            point = TVec2(mPoints[i - 1].x + (mPoints[i].x - mPoints[i - 1].x) * t,
                          mPoints[i - 1].y + (mPoints[i].y - mPoints[i - 1].y) * t);
        }
    }
    float value[2] = {point.x + mOffset.x, point.y + mOffset.y};
    return frame.Push(value, 2);
}

TParticleNodeFactory FindParticleNodeType(const TString& name)
{
    if (name == "fSin")
        return &ParticleSin::Create;
    if (name == "fNormalize")
        return &ParticleNormalize::Create;
    if (name == "fRandom")
        return &ParticleRandom::Create;
    return nullptr;
}

void RegisterParticleTables(TLuaParticleSystem& system, const TLuaTable* functions,
                            const TLuaTable* data,
                            std::vector<std::shared_ptr<ParticleVector>>& vectors)
{
    TLuaObjectWrapper* key = nullptr;
    if (functions != nullptr)
    {
        while (TLuaTable* value = functions->Next(&key))
        {
            TString name = value->ToString();
            delete value;
            if (TParticleNodeFactory factory = FindParticleNodeType(name))
                system.RegisterNodeType(name, factory);
        }
    }
    if (data != nullptr)
    {
        while (TLuaTable* entry = data->Next(&key))
        {
            auto vector = std::make_shared<ParticleVector>();
            vectors.push_back(vector);
            lua_State* L = entry->GetState();
            entry->Push();
            int n = lua_istable(L, -1) ? luaL_getn(L, -1) : 0;
            lua_pop(L, 1);
            vector->mWidth = static_cast<uint8_t>(n);
            if (n >= 1 && n <= 4)
                for (int i = 0; i < n; ++i)
                    vector->mValue[i] = static_cast<float>(entry->GetNumberAt(i + 1, 0));
            delete entry;
            system.RegisterFunction(key->ToString(), vector.get());
        }
    }
}
