// IllustrationPanelLayer: an image element of a cut-scene cell: the colour bitmap with its
// placement and animations, a still sepia copy for the cell's aged look, and the parent element
// whose position, whole transform or alpha it may follow.
#pragma once

#include "game/cutscenes/illustration_panel_entity.h"
#include "render/renderer/draw_spec.h"

#include <memory>

class AnimatedBitmap;

class IllustrationPanelLayer : public IllustrationPanelEntity
{
public:
    // Rewrites the table in place to describe the sepia copy: "image" gains "_sepia" and the
    // placement and animation keys go, so the caller's table names the sepia image afterwards.
    explicit IllustrationPanelLayer(TLuaTable& table);
    ~IllustrationPanelLayer() override;

    void Update(uint32_t elapsed) override;
    void Draw(const TDrawSpec& spec) override;
    void DrawInactive(const TDrawSpec& spec) override;
    // Whatever the active flag: a switched-off layer still freezes with its cell.
    void Pause() override;
    void Resume() override;
    void Activate() override;
    void Deactivate() override;
    // Both bitmaps load their textures; Stop releases them.
    virtual void Start();
    virtual void Stop();

    // The spec through which this layer follows its parent: identity without a parent.
    TDrawSpec ParentSpec() const;

    const std::shared_ptr<AnimatedBitmap>& GetImage() const { return mImage; }
    const std::shared_ptr<AnimatedBitmap>& GetSepia() const { return mSepia; }
    const TString& GetParentName() const { return mParentName; }
    IllustrationPanelLayer* GetParent() const { return mParent; }
    // Set by the cell once every element is built.
    void SetParent(IllustrationPanelLayer* parent) { mParent = parent; }
    bool FollowsPosition() const { return mParentPosition; }
    bool FollowsRotationScale() const { return mParentRotationScale; }
    bool FollowsAlpha() const { return mParentAlpha; }

private:
    std::shared_ptr<AnimatedBitmap> mImage;
    std::shared_ptr<AnimatedBitmap> mSepia;
    IllustrationPanelLayer* mParent = nullptr;
    TString mParentName;
    bool mParentPosition = false;
    bool mParentRotationScale = false;
    bool mParentAlpha = false;
};
