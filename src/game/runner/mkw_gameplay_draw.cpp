// The game's scene runner: what it draws over the location (the hint overlay of Thessalor or
// Lirae, the token's particles, the token and its pulses, the burst), the picture of the scene the
// overlay is made from, its rebuild after a display reset, and what the hints build at load.
#include "game/runner/mkw_gameplay.h"

#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/frame_services.h"
#include "framework/transforms/transform_instructions.h"
#include "game/effects/godray.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/minigames/hintboards/gameplay_hint_minigame.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

const char kSource[] = "mkwgameplay";
constexpr uint32_t kTriangleList = 4;
// The snapshot covers the screen.
constexpr uint32_t kSnapshotWidth = 800;
constexpr uint32_t kSnapshotHeight = 600;
// Colour only: the grey picture is drawn opaque.
constexpr int32_t kSnapshotTargetKind = 1;
// The light rays' pass: 10 units in front of the eye, a quarter-turn's half of view. A near plane
// of 0 would make the projection degenerate; this one cuts nothing the rays reach.
constexpr float kRayDistance = 10.0f;
constexpr float kRayNear = 0.1f;
constexpr float kRayFar = 1000.0f;
constexpr float kRayFieldOfView = 0.785398f;

// The weighted sum of the sorted channels over 100, truncated: the multiply and shift are exact for
// every sum up to 100 x 255.
inline uint32_t GreyOf(uint32_t p)
{
    const uint32_t r = (p >> 16) & 0xFF;
    const uint32_t g = (p >> 8) & 0xFF;
    const uint32_t b = p & 0xFF;
    const uint32_t high = std::max(r, std::max(g, b));
    const uint32_t low = std::min(r, std::min(g, b));
    const uint32_t middle = r + g + b - high - low;
    const uint32_t grey = ((30 * high + 59 * middle + 11 * low) * 5243u) >> 19;
    return (p & 0xFF000000u) | grey * 0x010101u;
}

// Eight pixels at a time in the same arithmetic, so the pass keeps near a copy's speed.
using Pixels8 = uint32_t __attribute__((vector_size(32)));

__attribute__((always_inline)) inline void GreyRow(uint32_t* row, uint32_t width)
{
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8)
    {
        Pixels8 p;
        std::memcpy(&p, row + x, sizeof p);
        const Pixels8 r = (p >> 16) & 0xFF;
        const Pixels8 g = (p >> 8) & 0xFF;
        const Pixels8 b = p & 0xFF;
        const Pixels8 upper = r > g ? r : g;
        const Pixels8 lower = r > g ? g : r;
        const Pixels8 high = upper > b ? upper : b;
        const Pixels8 low = lower > b ? b : lower;
        const Pixels8 middle = r + g + b - high - low;
        const Pixels8 grey = ((30 * high + 59 * middle + 11 * low) * 5243u) >> 19;
        const Pixels8 out = (p & 0xFF000000u) | grey * 0x010101u;
        std::memcpy(row + x, &out, sizeof out);
    }
    for (; x < width; ++x)
        row[x] = GreyOf(row[x]);
}

void GreyRowsPlain(uint32_t* pixels, int pitch, uint32_t width, uint32_t height)
{
    for (uint32_t y = 0; y < height; ++y)
        GreyRow(pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch), width);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void GreyRowsAvx2(uint32_t* pixels, int pitch, uint32_t width,
                                                  uint32_t height)
{
    for (uint32_t y = 0; y < height; ++y)
        GreyRow(pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch), width);
}
#endif

uint32_t Channel(float value)
{
    return static_cast<uint32_t>(std::trunc(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

} // namespace

// Left, top, hole and right bands around the hole (vertices 4 to 7).
const uint16_t MKWGameplay::kSpotlightIndices[24] = {0, 1, 9,  0, 9,  8, 1, 2, 5,  1, 5,  4,
                                                     6, 7, 10, 6, 10, 9, 2, 3, 11, 2, 11, 10};

void MKWGameplay::ConstructHints()
{
    mMiniHintLocus.mWidth = 2;
    mHintTokenLocus.mWidth = 2;
    mLiraeCenter.mWidth = 2;
    mLiraeAlpha.mWidth = 1;
    mHintToken = TAnimatedSprite::Create(0);
    mHintTokenMover = MakePlacedMover(&mHintToken->GetSpec());
    mHintSnapshot = TSprite::Create(0);
    mHintSnapshotFader = std::make_unique<TM_Transform2D>(&mHintSnapshot->GetSpec());
    mLiraeHintSprite = TSprite::Create(0);
    for (TColoredVertex& vertex : mSpotlightVertices)
        vertex = TColoredVertex{};
    for (size_t i : {3u, 11u})
        mSpotlightVertices[i].x = static_cast<float>(kSnapshotWidth);
    for (size_t i : {8u, 9u, 10u, 11u})
        mSpotlightVertices[i].y = static_cast<float>(kSnapshotHeight);
}

std::unique_ptr<MKWGameplay::HintStyle> MKWGameplay::ReadHintStyle(TWindowStyle& style)
{
    auto read = std::make_unique<HintStyle>();
    read->liraeSprite = style.GetString("spriteliraehint", "");
    read->liraeCenterX = static_cast<float>(style.GetNumber("spriteliraecenterx", 0));
    read->liraeCenterY = static_cast<float>(style.GetNumber("spriteliraecentery", 0));
    read->liraeWidth = style.GetInt("spriteliraehintwidth", 0);
    read->liraeHeight = style.GetInt("spriteliraehintheight", 0);
    read->miniHintScript = style.GetString("particlehintshowdestinationmini", "");
    read->liraePath = style.GetString("liraeparticlesystempath", "");
    read->liraeMist = style.GetString("particleliraehintmist", "");
    read->liraeMistSecondary = style.GetString("particleliraehintmistsecondary", "");
    read->liraeSmall = style.GetString("particleliraehintsmall", "");
    return read;
}

void MKWGameplay::BuildHints(const HintStyle& style)
{
    TDrawSpec& snapshot = mHintSnapshot->GetSpec();
    snapshot.mMatrix.m[2][0] = 0;
    snapshot.mMatrix.m[2][1] = 0;
    snapshot.mFlags |= kDrawOrigin;
    mHintSnapshotFader->SetAlpha(0.0f);

    // The picture's centre is the point placed on the item.
    if (style.liraeSprite.Length() != 0)
        mLiraeHintSprite->SetTexture(TTexture::Get(style.liraeSprite, 0));
    TDrawSpec& lirae = mLiraeHintSprite->GetSpec();
    lirae.mOrigin = TVec2(style.liraeCenterX, style.liraeCenterY);
    lirae.mMatrix.m[2][0] = style.liraeCenterX;
    lirae.mMatrix.m[2][1] = style.liraeCenterY;
    lirae.mFlags |= kDrawOrigin;
    mLiraeHintRect = TRect(0, 0, style.liraeWidth, style.liraeHeight);

    if (MKWGameplayHud* hud = GetGameHud())
    {
        hud->GetHintParticles().RegisterFunction("dLocus", &mMiniHintLocus);
        if (style.miniHintScript.Length() != 0)
            hud->GetHintParticles().Load(style.miniHintScript);
    }
    mLiraePath.SetPath(style.liraePath);

    const std::pair<TLuaParticleSystem*, const TString*> systems[] = {
        {&mLiraeMist, &style.liraeMist},
        {&mLiraeMistSecondary, &style.liraeMistSecondary},
        {&mLiraeSmall, &style.liraeSmall}};
    for (const auto& [system, script] : systems)
    {
        system->RegisterNodeType("fNormalize", &ParticleNormalize::Create);
        if (system != &mLiraeSmall)
            system->RegisterNodeType("ColorAdjust", &ParticleColorAdjust::Create);
        system->RegisterFunction("dLocus", &mLiraePath);
        system->RegisterFunction("dCenter", &mLiraeCenter);
        system->RegisterFunction("dAlpha", &mLiraeAlpha);
        if (script->Length() != 0)
            system->Load(*script);
    }
}

// Drawing.

void MKWGameplay::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
    {
        Gameplay::Draw();
        return;
    }
    const bool was2d = renderer->InBegin2d();
    if (!was2d && !renderer->Begin2d())
        return;
    Gameplay::Draw();
    const float alpha = mHintSnapshotFader->GetAlpha();
    if (alpha > 0.0f && mGameplayState != kFirstFrame)
    {
        mHintSnapshot->Draw(TDrawSpec(), -1);
        if (mHintCharacter == 1)
            DrawThessalorOverlay(alpha);
        else
            DrawLiraeOverlay(alpha);
        // Both end the 2-D drawing; the caller's state comes back.
        if (was2d)
            renderer->Begin2d();
        return;
    }
    if (!was2d)
        renderer->End2d();
}

void MKWGameplay::DrawThessalorOverlay(float alpha)
{
    TRenderer* renderer = TRenderer::Existing();
    TDrawSpec& spec = mHintSnapshot->GetSpec();
    renderer->SetBlendMode(kBlendAdditive);
    spec.mColor = mColorThessalorHint;
    spec.mAlpha = alpha * mAlphaThessalorHintColor;
    mHintSnapshot->Draw(TDrawSpec(), -1);
    renderer->SetBlendMode(kBlendAlpha);
    spec.mColor = TVec4(1, 1, 1, 0);
    spec.mAlpha = alpha;
    renderer->End2d();

    TMat4 world;
    world.SetIdentity();
    world.Translate(TVec3(0, 0, kRayDistance));
    if (renderer->Begin3d())
    {
        renderer->PushViewport(mViewport3d);
        renderer->SetProjection(kRayNear, kRayFar, kRayFieldOfView, 0);
        renderer->SetWorldMatrix(world);
        for (const std::shared_ptr<Godray>& ray : mGodrays)
            ray->Draw(spec);
        renderer->PopViewport();
        renderer->End3d();
    }

    if (renderer->Begin2d())
    {
        if (mHintItem != nullptr)
            mHintItem->DrawFoundImage(spec);
        renderer->End2d();
    }
}

void MKWGameplay::DrawLiraeOverlay(float alpha)
{
    TRenderer* renderer = TRenderer::Existing();
    const TDrawSpec& spec = mHintSnapshot->GetSpec();
    const uint32_t colour = Channel(alpha) << 24 | Channel(mColorLiraeHint.x) << 16 |
                            Channel(mColorLiraeHint.y) << 8 | Channel(mColorLiraeHint.z);
    for (TColoredVertex& vertex : mSpotlightVertices)
        vertex.diffuse = colour;
    renderer->SetBlendMode(kBlendAdditive);
    renderer->SetTexture(mHintSnapshot->GetTexture());
    TVertexSet* set = TVertexSet::CreateColored(mSpotlightVertices.data(), 12);
    renderer->DrawIndexedVertices(kTriangleList, *set, kSpotlightIndices, 24);
    TVertexSet::Release(set);
    renderer->SetBlendMode(kBlendAlpha);

    mLiraeHintSprite->Draw(spec, -1);
    const TDrawSpec& place = mLiraeHintSprite->GetSpec();
    const TVec3 at(place.mMatrix.m[2][0], place.mMatrix.m[2][1], 0.0f);
    mLiraeSmall.Draw(at);
    mLiraeMist.Draw(at);
    mLiraeMistSecondary.Draw(at);
    if (mHintItem != nullptr)
        mHintItem->DrawFoundImage(spec.Combine(mHintItemSpec));
    renderer->End2d();
}

void MKWGameplay::DrawExtra()
{
    const TVec3 origin(0.0f, 0.0f, 0.0f);
    for (const std::shared_ptr<TLuaParticleSystem>& system :
         {mHintParticle, mHintParticleSecondary})
        if (system != nullptr)
            system->Draw(origin);
    mPuzzleCompleteLirae.Draw(origin);
    mPuzzleCompleteThessalor.Draw(origin);
    if (mTokenCharacter == 0)
        return;
    mHintToken->Draw(TDrawSpec(), -1);
    for (const std::shared_ptr<TSprite>& pulse : mPulseSprites)
        pulse->Draw(TDrawSpec(), -1);
}

// The picture of the scene.

void MKWGameplay::GreyPixels(uint32_t* pixels, int pitch, uint32_t width, uint32_t height)
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide)
    {
        GreyRowsAvx2(pixels, pitch, width, height);
        return;
    }
#endif
    GreyRowsPlain(pixels, pitch, width, height);
}

bool MKWGameplay::RenderHintSnapshot()
{
    std::shared_ptr<TTexture> texture = mHintSnapshot->GetTexture();
    if (texture == nullptr)
    {
        texture = TTexture::Create(kSnapshotWidth, kSnapshotHeight, false);
        if (texture == nullptr)
        {
            ReportError("CreateTexture", kSource, __LINE__, false);
            return false;
        }
        mHintSnapshot->SetTexture(texture);
    }
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || !renderer->BeginRenderTarget(texture, kSnapshotTargetKind))
    {
        ReportError("BeingRenderTarget", kSource, __LINE__, false);
        return false;
    }
    // The item is drawn over the picture by the overlay.
    GameplayItem* item = mHintItem;
    const bool shown = item != nullptr && (item->GetFlags() & GameplayEntity::kShown) != 0;
    if (shown)
        item->Hide(false, nullptr);
    if (renderer->Begin2d())
    {
        if (mActiveScene != nullptr)
        {
            mActiveScene->Draw(TDrawSpec());
            mActiveScene->DrawEffects(TDrawSpec());
        }
        renderer->End2d();
    }
    renderer->EndDraw();
    if (shown)
        item->Show(false, nullptr);

    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture->Lock(pixels, pitch))
    {
        ReportError("Lock", kSource, __LINE__, false);
        return false;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    texture->GetSurfaceSize(width, height);
    GreyPixels(pixels, pitch, width, height);
    texture->Unlock();
    // Every overlay but Thessalor's is the frame, which shows the picture.
    if (mHintCharacter != 1 && width != 0 && height != 0)
        for (TColoredVertex& vertex : mSpotlightVertices)
        {
            vertex.u = vertex.x / static_cast<float>(width);
            vertex.v = vertex.y / static_cast<float>(height);
        }
    return true;
}

bool MKWGameplay::RecreateTextures()
{
    // From the arrival on: a picture refused at the arrival is asked for while it fades in.
    const bool hint = mGameplayState == kThessalorHintShown || mGameplayState == kLiraeHintShown ||
                      (mGameplayState == kMinigame && mHintItem != nullptr);
    if (hint && !RenderHintSnapshot())
        return false;
    if (!Gameplay::RecreateTextures())
        return false;
    // Absent windows count as rebuilt.
    for (GameplayHintMinigame* window : {mHintWindowThessalor, mHintWindowLirae})
        if (window != nullptr && !window->RecreateTextures())
            return false;
    return true;
}
