// TransformManager: runs every transform of the game. A transform is a record of instruction
// lists run one after another on one target; a target's records form its group. Records and
// groups call back when they end; the whole set pauses and resumes with a shift of its clocks.
#pragma once

#include "framework/core/singleton.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TM_InstructionList;
class TM_Transform;

// An end notice: {object, plain function}. A record's callback receives its id; a group's
// callback receives id 0.
struct Callback
{
    using Function = void (*)(void* object, TM_Transform* target, uint32_t id);

    Callback(void* object, Function function) : mObject(object), mFunction(function) {}
    void Call(TM_Transform* target, uint32_t id) const
    {
        if (mFunction != nullptr)
            mFunction(mObject, target, id);
    }

    void* mObject = nullptr;
    Function mFunction = nullptr;
};

class TransformManager : public Singleton<TransformManager>
{
public:
    TransformManager();
    ~TransformManager() override;

    // Starts the list on the target at once (from-current begins are taken now) and answers the
    // transform's id, the first being 1. The list and the callbacks become the manager's; a null
    // group callback keeps the group's old one.
    uint32_t AddTransform(TM_Transform* target, TM_InstructionList* list,
                          Callback* groupCallback = nullptr, Callback* recordCallback = nullptr);
    // Adds a list to the end of a transform and starts it at once; for an unknown id reports
    // "invalid param", deletes the list and answers 0.
    uint32_t AppendToTransform(uint32_t id, TM_InstructionList* list);
    uint32_t FindTransform(uint32_t id, TM_InstructionList* list)
    {
        return AppendToTransform(id, list);
    }
    // Ends the target's transforms without calling back.
    void RemoveTransforms(TM_Transform* target);
    // Whether the target has a transform still to run or to end.
    bool HasTransforms(const TM_Transform* target) const
    {
        return FindGroup(const_cast<TM_Transform*>(target)) != nullptr;
    }
    // Whether a transform of that id is still to run or to end.
    bool HasTransform(uint32_t id) const { return FindRecord(id) != nullptr; }
    void RemoveAll();
    void SetLooping(uint32_t id);
    void SetLoopingAll(TM_Transform* target);
    void PauseTransforms(TM_Transform* target);
    void ResumeTransforms(TM_Transform* target);
    // Called when the application loses and regains the foreground; resuming shifts every
    // started list's clock by the time spent paused, but leaves what was paused on its own
    // (PauseTransforms) paused.
    void PauseAll();
    void ResumeAll();

    // The per-frame step, at the frame clock's time.
    void Update() override;

    bool IsSuspended() const { return mSuspended != 0; }
    size_t GetGroupCount() const { return mGroups.size(); }
    // Records of the target's group (0 without a group).
    size_t GetTransformCount(TM_Transform* target) const;

private:
    struct Record
    {
        uint32_t mId = 0;
        int32_t mIndex = -1;
        TM_Transform* mTarget = nullptr;
        Callback* mRecordCallback = nullptr;
        std::vector<TM_InstructionList*> mLists;
        uint32_t mCurrent = 0;
        uint8_t mRepeat = 0;
        // Paused by PauseTransforms; the application's suspension is the manager's.
        uint8_t mPaused = 0;
        // Set when its group was removed during a pass; the record then lives until the pass ends.
        bool mRemoved = false;
        ~Record();
    };
    struct Group
    {
        TM_Transform* mTarget = nullptr;
        Callback* mGroupCallback = nullptr;
        std::vector<Record*> mRecords;
        int32_t mIndex = -1;
        ~Group();
    };

    Group* FindGroup(TM_Transform* target) const;
    Record* FindRecord(uint32_t id) const;
    // False when the record has finished.
    bool Step(Record* record, uint32_t now);
    void PauseRecord(Record* record, uint32_t now);
    void ResumeRecord(Record* record, uint32_t now);
    // The current list's clock stopped at `now`, and moved on by the time it stood.
    static void StopClock(Record* record, uint32_t now);
    static void StartClock(Record* record, uint32_t now);
    // Deleted at once outside a pass, at the pass's end inside one.
    void DiscardGroup(Group* group);
    void SetIdle(bool idle);
    // The first group (record) whose index is at least `index`; the end when none.
    size_t FindGroupFrom(int32_t index) const;
    static size_t FindRecordFrom(const Group* group, int32_t index);

    std::vector<Group*> mGroups;
    uint8_t mGroupsChanged = 0;
    uint8_t mRecordsChanged = 0;
    uint8_t mSuspended = 0;
    uint32_t mLastId = 0;
    bool mInPass = false;
    std::vector<Group*> mDiscarded;
};
