// MKWDialogWindow: the game's modal dialog, the framework's animated dialog with an optional
// second face that sizes and places it, and streaks of wax or blood running down it at random
// intervals while it is open. The game opens it for the window type "DialogWindow".
#pragma once

#include "framework/adventure/dialog_window.h"
#include "platform/maths/random.h"

#include <cstdint>
#include <memory>
#include <vector>

class BloodStreak;
class TLuaTable;

class MKWDialogWindow : public DialogWindow
{
public:
    // Streaks kept at once; beyond it the oldest finished ones go first.
    static constexpr size_t kMaxStreaks = 32;

    MKWDialogWindow();
    ~MKWDialogWindow() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "MKWDialogWindow"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || DialogWindow::IsKindOf(id);
    }
    void Init(TWindowStyle& style) override;
    void PostInit(TWindowStyle& style) override;
    // The streaks over the face and its children, under the particles.
    void PostDraw() override;
    bool Animate() override { return Update(); }
    // The countdown to the next streak, the streaks' reveal, then the dialog's own step.
    bool Update();
    void Pause() override;
    void Resume() override;

    int32_t GetTimeBloodMin() const { return mTimeBloodMin; }
    int32_t GetTimeBloodMax() const { return mTimeBloodMax; }
    uint32_t GetTimeToNextBlood() const { return mTimeToNextBlood; }
    const std::vector<std::shared_ptr<BloodStreak>>& GetStreaks() const { return mStreaks; }

private:
    void SpawnStreak();

    TRandom mRandom;
    int32_t mTimeBloodMin = 0;
    int32_t mTimeBloodMax = 0;
    uint32_t mTimeToNextBlood = 0;
    std::vector<std::shared_ptr<BloodStreak>> mStreaks;
    std::unique_ptr<TLuaTable> mBlood;
    // A description whose images are missing is said once, not every interval.
    bool mReportedMissingImages = false;
};
