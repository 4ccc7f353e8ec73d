// IllustrationPanelLayer: building the colour and sepia bitmaps from one table, following a
// parent, and drawing the live and the aged look.
#include "game/cutscenes/illustration_panel_layer.h"

#include "framework/widgets/animated_bitmap.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"

namespace
{
// What the sepia copy must not inherit: it is always drawn through the colour image's placement.
const char* const kColourOnlyKeys[] = {"move",         "rotate", "alpha",    "fade",
                                       "path",         "scale",  "rotation", "initialscale",
                                       "initialalpha", "x",      "y"};
} // namespace

IllustrationPanelLayer::IllustrationPanelLayer(TLuaTable& table)
    : IllustrationPanelEntity(table), mImage(AnimatedBitmap::Create(table)),
      mParentName(table.GetString("parentlayer", TString())),
      mParentPosition(table.GetBool("parentposition", false)),
      mParentRotationScale(table.GetBool("parentrotationscale", false)),
      mParentAlpha(table.GetBool("parentalpha", false))
{
    const TString image = table.GetString("image", TString());
    if (image.Length() == 0)
        return;
    // Image names carry no extension: the loader tries its extensions after the whole name.
    table.SetString("image", TString::Format("%s_sepia", image.c_str()));
    for (const char* key : kColourOnlyKeys)
        table.ClearField(key);
    mSepia = AnimatedBitmap::Create(table);
}

IllustrationPanelLayer::~IllustrationPanelLayer() = default;

void IllustrationPanelLayer::Update(uint32_t)
{
    if (!IsActive())
        return;
    // The bitmaps take the frame's step from the frame clock themselves.
    mImage->Update();
    if (mSepia)
        mSepia->Update();
}

TDrawSpec IllustrationPanelLayer::ParentSpec() const
{
    TDrawSpec spec;
    if (mParent == nullptr || mParent->mImage->GetSprite() == nullptr)
        return spec;
    const TDrawSpec& placement = mParent->mImage->GetSprite()->GetSpec();
    if (mParentRotationScale)
        spec.mMatrix = placement.mMatrix;
    else if (mParentPosition)
        for (int column = 0; column < 3; ++column)
            spec.mMatrix.m[2][column] = placement.mMatrix.m[2][column];
    if (mParentAlpha)
        spec.mAlpha = placement.mAlpha;
    return spec;
}

void IllustrationPanelLayer::Draw(const TDrawSpec& spec)
{
    if (!IsActive())
        return;
    if (mParent == nullptr)
        mImage->Draw(spec);
    else
        mImage->Draw(spec.Combine(ParentSpec()));
}

void IllustrationPanelLayer::DrawInactive(const TDrawSpec& spec)
{
    if (!IsActive() || !mSepia)
        return;
    const TDrawSpec& placement = mImage->GetSprite()->GetSpec();
    if (mParent == nullptr)
        mSepia->Draw(placement.Combine(spec));
    else
        mSepia->Draw(placement.Combine(spec.Combine(ParentSpec())));
}

void IllustrationPanelLayer::Pause()
{
    mImage->Pause();
    if (mSepia)
        mSepia->Pause();
}

void IllustrationPanelLayer::Resume()
{
    mImage->Resume();
    if (mSepia)
        mSepia->Resume();
}

void IllustrationPanelLayer::Activate()
{
    IllustrationPanelEntity::Activate();
    Start();
}

void IllustrationPanelLayer::Deactivate()
{
    IllustrationPanelEntity::Deactivate();
    Stop();
}

void IllustrationPanelLayer::Start()
{
    mImage->CreateSprites();
    if (mSepia)
        mSepia->CreateSprites();
}

void IllustrationPanelLayer::Stop()
{
    mImage->ReleaseTextures();
    if (mSepia)
        mSepia->ReleaseTextures();
}
