// The model portal and its controller.
#include "framework/widgets/model_portal.h"

#include "framework/core/frame_services.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "render/renderer/renderer.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <algorithm>
#include <cmath>

namespace
{
// {x, y, z} of the sub-table, missing numbers reading 0; the vector stays without the table.
void ReadState(const TLuaTable& state, const char* key, TVec3& v)
{
    std::unique_ptr<TLuaTable> sub(state.GetTable(key));
    if (sub != nullptr)
        v = TVec3(static_cast<float>(sub->GetNumberAt(1, 0)),
                  static_cast<float>(sub->GetNumberAt(2, 0)),
                  static_cast<float>(sub->GetNumberAt(3, 0)));
}

void OnAnimationDone(void* object, TM_Transform*, uint32_t)
{
    static_cast<ModelPortal*>(object)->mReady = true;
}
} // namespace

ModelPortal::ModelPortal(const TLuaTable& table, const TString& name) : mName(name)
{
    mStartAlpha = static_cast<float>(table.GetNumber("startalpha", 0));
    mEndAlpha = static_cast<float>(table.GetNumber("endalpha", 0));
    double time = std::trunc(table.GetNumber("timeanimation", 0));
    // A negative time would be an endless run in unsigned milliseconds.
    mAnimationTime = static_cast<int32_t>(std::clamp(time, 0.0, 2147483647.0));
    std::unique_ptr<TLuaTable> description(table.GetTable("model"));
    if (description == nullptr)
    {
        ReportError("No model table for ModelPortal!", "modelportal", 28, true);
        return;
    }
    mModel = std::make_shared<Model>(*description);
    mTransform = std::make_shared<TM_Transform3D>(mModel.get());
    LoadStates();
}

void ModelPortal::LoadStates()
{
    TScript script;
    if (!script.RunScript(mName))
    {
        ReportError(TString::Format("Cannot run script '%s'!", mName.c_str()).c_str(),
                    "modelportal", 89, true);
        return;
    }
    std::unique_ptr<TLuaTable> info(script.GetGlobalTable("modelinfo"));
    if (info == nullptr)
    {
        ReportError(TString::Format("Cannot find modalinfo table in '%s'!", mName.c_str()).c_str(),
                    "modelportal", 94, true);
        return;
    }
    std::unique_ptr<TLuaTable> states(info->GetTable("states"));
    if (states == nullptr)
    {
        ReportError("No states table for ModelPortal!", "modelportal", 99, true);
        return;
    }
    std::unique_ptr<TLuaTable> first(states->GetTable("state00"));
    if (first == nullptr)
    {
        ReportError("No state00 table for ModelPortal", "modelportal", 105, true);
        return;
    }
    std::unique_ptr<TLuaTable> second(states->GetTable("state01"));
    if (second == nullptr)
    {
        ReportError("No state01 table for ModelPortal", "modelportal", 110, true);
        return;
    }
    ReadState(*first, "position", mPosition0);
    ReadState(*first, "rotation", mRotation0);
    ReadState(*second, "position", mPosition1);
    ReadState(*second, "rotation", mRotation1);
}

void ModelPortal::StartAnimation()
{
    TransformManager* manager = TransformManager::Instance();
    if (mTransform == nullptr || manager == nullptr)
        return;
    uint32_t duration = static_cast<uint32_t>(mAnimationTime);
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Move(duration, mPosition1, mPosition0, -0.5f));
    list->push_back(new TM_Rotate(duration, mRotation1, mRotation0, -0.5f));
    list->push_back(new TM_Alpha(duration, mEndAlpha, mStartAlpha, 0, -0.5f));
    manager->AddTransform(mTransform.get(), list, nullptr, new Callback(this, &OnAnimationDone));
    mReady = false;
}

void ModelPortalController::AddModelPortal(const TString& name, const TLuaTable& table)
{
    mPortals.push_back(std::make_shared<ModelPortal>(table, name));
}

ModelPortal* ModelPortalController::GetCurrent() const
{
    return mHasCurrent ? mPortals[mCurrent].get() : nullptr;
}

void ModelPortalController::ShowModelPortal(const TString& name)
{
    if (mHasCurrent)
        return;
    for (size_t i = 0; i < mPortals.size(); ++i)
        if (mPortals[i]->mName == name)
        {
            mCurrent = i;
            mHasCurrent = true;
            mPortals[i]->mReady = true;
            return;
        }
}

void ModelPortalController::StepCurrentModelPortal()
{
    ModelPortal* portal = GetCurrent();
    if (portal != nullptr && portal->mReady && portal->HasModel())
        portal->StartAnimation();
}

void ModelPortalController::DrawCurrentModelPortal()
{
    ModelPortal* portal = GetCurrent();
    TRenderer* renderer = TRenderer::Existing();
    if (portal == nullptr || !portal->HasModel() || renderer == nullptr)
        return;
    // Drawn only while its run animates.
    if (renderer->InBegin3d())
    {
        if (!portal->mReady)
            portal->mModel->Draw();
        return;
    }
    if (!renderer->Begin3d())
        return;
    if (!portal->mReady)
        portal->mModel->Draw();
    renderer->End3d();
}

void ModelPortalController::HideModelPortal()
{
    ModelPortal* portal = GetCurrent();
    if (portal == nullptr)
        return;
    portal->mReady = false;
    TransformManager* manager = TransformManager::Instance();
    if (manager != nullptr && portal->mTransform != nullptr)
        manager->RemoveTransforms(portal->mTransform.get());
    mHasCurrent = false;
}
