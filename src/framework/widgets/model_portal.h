// ModelPortal, a named model that moves, turns and fades from a first state to a second and
// starts over while it is shown, and ModelPortalController, a scene's portals with the one shown.
#pragma once

#include "framework/transforms/model.h"
#include "framework/transforms/transform_target.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>
#include <vector>

class TLuaTable;

class ModelPortal
{
public:
    // Reads "startalpha", "endalpha", "timeanimation" and the "model" description, then the
    // two states from the state script named `name`. Each missing part is a fatal report, after
    // which the portal stays unfinished.
    ModelPortal(const TLuaTable& table, const TString& name);
    ModelPortal(const ModelPortal&) = delete;
    ModelPortal& operator=(const ModelPortal&) = delete;

    // Starts one run from the first state to the second; its end makes the portal ready again.
    void StartAnimation();
    // A portal whose "model" table was missing has neither model nor transform.
    bool HasModel() const { return mModel != nullptr; }

    bool mReady = false;
    TString mName;
    std::shared_ptr<Model> mModel;
    std::shared_ptr<TM_Transform3D> mTransform;
    TVec3 mPosition0;
    TVec3 mPosition1;
    TVec3 mRotation0;
    TVec3 mRotation1;
    float mStartAlpha = 0;
    float mEndAlpha = 0;
    int32_t mAnimationTime = 0;

private:
    void LoadStates();
};

class ModelPortalController
{
public:
    void AddModelPortal(const TString& name, const TLuaTable& table);
    // Makes the first portal of that name current and ready, unless one is current already.
    void ShowModelPortal(const TString& name);
    // Starts the current portal's run when it is ready.
    void StepCurrentModelPortal();
    void DrawCurrentModelPortal();
    void HideModelPortal();

    // Null when none is current.
    ModelPortal* GetCurrent() const;
    const std::vector<std::shared_ptr<ModelPortal>>& GetPortals() const { return mPortals; }

private:
    std::vector<std::shared_ptr<ModelPortal>> mPortals;
    // An index into the portals; none is the end.
    size_t mCurrent = 0;
    bool mHasCurrent = false;
};
