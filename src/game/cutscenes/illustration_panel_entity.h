// IllustrationPanelEntity: the base of everything that moves inside one cut-scene cell (image
// layers, texts, particle effects): a name, a drawing depth, an active flag and the operations the
// cell calls on each of them every frame.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>

class TLuaTable;
struct TDrawSpec;

class IllustrationPanelEntity
{
public:
    explicit IllustrationPanelEntity(const TLuaTable& table);
    virtual ~IllustrationPanelEntity() = default;
    IllustrationPanelEntity(const IllustrationPanelEntity&) = delete;
    IllustrationPanelEntity& operator=(const IllustrationPanelEntity&) = delete;

    // The frame's elapsed milliseconds.
    virtual void Update(uint32_t elapsed) = 0;
    // The live look, under the cell's spec.
    virtual void Draw(const TDrawSpec& spec) = 0;
    // The form drawn into the cell's aged, inactive texture.
    virtual void DrawInactive(const TDrawSpec& spec) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Activate() { mActive = true; }
    virtual void Deactivate() { mActive = false; }

    bool IsActive() const { return mActive; }
    const TString& GetName() const { return mName; }
    int32_t GetDepth() const { return mDepth; }

private:
    bool mActive = true;
    TString mName;
    int32_t mDepth = 0;
};
