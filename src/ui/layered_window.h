// TLayeredWindow, a window whose children are also sorted into a fixed number of layers, of which
// one is shown at a time.
#pragma once

#include "ui/window.h"

#include <cstdint>
#include <list>
#include <vector>

class TLayeredWindow : public TWindow
{
public:
    // Selects every layer at once.
    static constexpr uint32_t kAllLayers = 0xFFFFFFFFu;

    explicit TLayeredWindow(uint32_t layerCount);

    static TClassId GetClassId();
    // The window when it is a layered window, else null.
    static TLayeredWindow* FromWindow(TWindow* window);

    const char* GetClassName() const override { return "TLayeredWindow"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    // A child added while every layer is selected joins them all.
    bool AddChild(TWindow* child, bool attach) override;
    TWindow* RemoveChild(TWindow* child) override;

    // The index must be below the layer count or be kAllLayers, which shows layer 0.
    void SelectLayer(uint32_t index);
    uint32_t GetCurrentLayer() const { return mCurrentLayer; }
    uint32_t GetLayerCount() const { return static_cast<uint32_t>(mLayers.size()); }
    const std::list<TWindow*>& GetLayer(uint32_t index) const { return mLayers[index]; }

private:
    uint32_t mCurrentLayer = 0;
    // Not owning: the child list owns the children; a child may stand in several layers.
    std::vector<std::list<TWindow*>> mLayers;
};
