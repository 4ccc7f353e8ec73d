// TLayeredWindow: children kept in layer lists besides the child list, and the layer shown.
#include "ui/layered_window.h"

#include "ui/window_manager.h"

#include <algorithm>

TLayeredWindow::TLayeredWindow(uint32_t layerCount) : mLayers(layerCount) {}

TClassId TLayeredWindow::GetClassId()
{
    static const char id = 0;
    return &id;
}

TLayeredWindow* TLayeredWindow::FromWindow(TWindow* window)
{
    return window != nullptr && window->IsKindOf(GetClassId())
               ? static_cast<TLayeredWindow*>(window)
               : nullptr;
}

bool TLayeredWindow::AddChild(TWindow* child, bool attach)
{
    if (!TWindow::AddChild(child, attach))
        return false;
    if (mCurrentLayer == kAllLayers)
    {
        for (auto& layer : mLayers)
            layer.push_front(child);
    }
    else if (mCurrentLayer < mLayers.size())
    {
        mLayers[mCurrentLayer].push_front(child);
    }
    return true;
}

TWindow* TLayeredWindow::RemoveChild(TWindow* child)
{
    TWindow* former = TWindow::RemoveChild(child);
    for (auto& layer : mLayers)
    {
        auto it = std::find(layer.begin(), layer.end(), child);
        if (it != layer.end())
            layer.erase(it);
    }
    return former;
}

void TLayeredWindow::SelectLayer(uint32_t index)
{
    if (index == mCurrentLayer)
        return;
    uint32_t list = index == kAllLayers ? 0 : index;
    if (list >= mLayers.size())
        return;
    mCurrentLayer = index;
    TWindowClearFlags hide(~static_cast<uint32_t>(kWindowVisible), false);
    VisitChildren(hide, false);
    for (TWindow* window : mLayers[list])
        window->SetFlags(window->GetFlags() | kWindowVisible);
    if (TWindowManager* manager = GetWindowManager())
        manager->SetDirty();
}
