// The game's inventory object: the character mark and its looks, the second particle effect and
// the parts bar drawn slot by slot.
#include "game/inventory/mkw_gameplay_inventory.h"

#include "framework/core/frame_services.h"
#include "game/effects/game_particles.h"
#include "particles/lua_particle_system.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace
{

const char kSource[] = "mkwgameplayinventory";

float Number(const TLuaTable& table, const char* key, double def = 0)
{
    return static_cast<float>(table.GetNumber(key, def));
}

float TextureWidth(const TSprite& sprite)
{
    const std::shared_ptr<TTexture> texture = sprite.GetTexture();
    return texture != nullptr ? static_cast<float>(texture->GetWidth()) : 0.0f;
}

// The sprite's picture from `key` of the shared table, its top left at (x, y) from the object.
void LoadPiece(const TLuaTable& shared, const char* key, TSprite& sprite, float x, float y)
{
    const TString name = shared.GetString(key);
    sprite.SetTexture(name.Length() != 0 ? TTexture::Get(name, 0) : nullptr);
    TDrawSpec& spec = sprite.GetSpec();
    spec.mFlags |= kDrawOrigin;
    spec.mOrigin = TVec2(0.0f, 0.0f);
    spec.mMatrix.m[2][0] = x;
    spec.mMatrix.m[2][1] = y;
}

void MoveX(TSprite& sprite, float x)
{
    sprite.GetSpec().mMatrix.m[2][0] = x;
}

} // namespace

MKWGameplayInventory::MKWGameplayInventory(const TLuaTable& object, const TLuaTable& shared)
    : GameplayInventory(object, shared), mEmptyFillSprite(TSprite::Create(0)),
      mFillSprite(TSprite::Create(0))
{
    mBarFillGapX = Number(shared, "barfillgapx");
    const TString type = object.GetString("type");
    if (type == "lirae")
    {
        mCharacterMark = kLirae;
        mParticlesName = shared.GetString("particlesystemlirae");
        mSecondaryParticlesName = shared.GetString("particlesystemliraesecondary");
    }
    else if (type == "thessalor")
    {
        mCharacterMark = kThessalor;
        mParticlesName = shared.GetString("particlesystemthessalor");
        mSecondaryParticlesName = shared.GetString("particlesystemthessalorsecondary");
    }
    // The strip shows only the two characters' objects: one of neither would vanish from the floor
    // when found and never show, and the location could not end. Said at load, with the other
    // load-time lines; a hand-only object never goes to the strip.
    if (mCharacterMark == kNoCharacter && CanBePlacedInHud())
    {
        const std::string written = type.Length() == 0
                                        ? std::string("no \"type\"")
                                        : "\"type\" '" + std::string(type.c_str()) + "'";
        ReportError(TString::Format("Inventory object '%s' has %s: the strip shows only \"lirae\" "
                                    "or \"thessalor\" objects, so its found parts never show and "
                                    "the location cannot end",
                                    GetName().c_str(), written.c_str())
                        .c_str(),
                    kSource, __LINE__, false);
    }
}

MKWGameplayInventory::~MKWGameplayInventory() = default;

std::shared_ptr<TLuaParticleSystem> MKWGameplayInventory::MakeParticles(const TString& script)
{
    return game_particles::Start(script, {{"dLocus", &mLocus}, {"dSize", &mSize}},
                                 {game_particles::kColorAdjust});
}

void MKWGameplayInventory::Update(uint32_t elapsed)
{
    game_particles::Advance(mSecondaryParticles, elapsed);
    GameplayInventory::Update(elapsed);
}

void MKWGameplayInventory::StartParticles()
{
    mParticleSystem = MakeParticles(mParticlesName);
    mSecondaryParticles = MakeParticles(mSecondaryParticlesName);
}

void MKWGameplayInventory::StopParticles()
{
    GameplayInventory::StopParticles();
    game_particles::Switch(mSecondaryParticles, false);
}

void MKWGameplayInventory::DrawParticles(const TDrawSpec& spec)
{
    if (mSecondaryParticles != nullptr)
        mSecondaryParticles->Draw(TVec3(spec.mMatrix.m[2][0], spec.mMatrix.m[2][1], 0.0f));
    GameplayInventory::DrawParticles(spec);
}

void MKWGameplayInventory::CreateProgressBar(const TLuaTable&, const TLuaTable& shared)
{
    const float barY = Number(shared, "bary");
    const float fillY = barY + Number(shared, "barfilly");
    const float endGap = Number(shared, "barendgapx");
    const float frameAlpha = Number(shared, "framealpha");
    LoadPiece(shared, "frameleft", *mFrameLeft, 0, barY);
    LoadPiece(shared, "framecenter", *mFrameCenter, 0, barY);
    LoadPiece(shared, "frameright", *mFrameRight, 0, barY);
    for (TSprite* frame : {mFrameLeft.get(), mFrameCenter.get(), mFrameRight.get()})
        frame->GetSpec().mAlpha = frameAlpha;
    mBarTransform.SetAlpha(Number(shared, "progressbaralpha", 1.0));
    LoadPiece(shared, "fillempty", *mEmptyFillSprite, 0, fillY);
    // Every mark but Thessalor's takes Lirae's colour.
    LoadPiece(shared, mCharacterMark == kThessalor ? "fillthessalor" : "filllirae", *mFillSprite, 0,
              fillY);

    mPartStep = TextureWidth(*mEmptyFillSprite) + mBarFillGapX;
    const float width = static_cast<float>(mPartCount) * mPartStep + mBarFillGapX;
    const float left = TextureWidth(*mFrameLeft);
    const float right = TextureWidth(*mFrameRight);
    const float x0 = std::floor(-(left + width + right) / 2.0f);
    MoveX(*mFrameLeft, x0 + endGap);
    MoveX(*mFrameCenter, x0 + left + endGap);
    MoveX(*mFrameRight, x0 + left + width - endGap);
    MoveX(*mEmptyFillSprite, x0 + left + mBarFillGapX);
    MoveX(*mFillSprite, x0 + left + mBarFillGapX);
    // The frame is inset by the end gap at both ends; the slots keep their places.
    mBarWidth = width - 2.0f * endGap;
    UpdateProgress();
}

void MKWGameplayInventory::DrawProgressBar(const TDrawSpec& parent)
{
    if ((mFlags & (kHeld | kComplete | kInScene)) != 0 || mBarSpec.mAlpha == 0.0f)
        return;
    TDrawSpec alpha;
    alpha.mAlpha = mBarSpec.mAlpha;
    const TDrawSpec& image = mImageSprite->GetSpec();
    const TDrawSpec bar = image.Combine(alpha.Combine(parent));
    TRect left;
    TRect right;
    mFrameLeft->GetBounds(left, image, 0);
    mFrameRight->GetBounds(right, image, 0);
    // Ends pushed past each other by a wide end gap still give an ordered rectangle.
    mBarRect = TRect(std::min(left.left, right.left), std::min(left.top, right.top),
                     std::max(left.right, right.right), std::max(left.bottom, right.bottom));
    mFrameLeft->Draw(bar, 0);
    for (int32_t c = 0; static_cast<float>(c) < mBarWidth; ++c)
        mFrameCenter->Draw(TDrawSpec(TVec2(static_cast<float>(c), 0.0f)).Combine(bar), 0);
    mFrameRight->Draw(bar, 0);
    const int32_t found = mPartsFound;
    for (int32_t i = 0; i < mPartCount; ++i)
    {
        const TVec2 slot(static_cast<float>(i) * mPartStep, 0.0f);
        mEmptyFillSprite->Draw(TDrawSpec(slot).Combine(bar), 0);
        if (i >= found)
            continue;
        // The newest part fades in with the picture's part.
        const float fade = i == found - 1 ? mPartFadeSpec.mAlpha : 1.0f;
        mFillSprite->Draw(TDrawSpec(slot, fade).Combine(bar), 0);
    }
}

bool MKWGameplayInventory::BarContainsPoint(const TIntPoint& point) const
{
    return point.x >= mBarRect.left && point.x < mBarRect.right && point.y >= mBarRect.top &&
           point.y < mBarRect.bottom;
}
