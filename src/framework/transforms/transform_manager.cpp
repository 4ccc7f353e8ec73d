// The transform manager: groups and records, the per-frame walk that survives callbacks changing
// the collections, looping, pausing and the idle flag at the frame driver.
#include "framework/transforms/transform_manager.h"

#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/core/window_manager.h"

#include <algorithm>

TransformManager::Record::~Record()
{
    for (TM_InstructionList* list : mLists)
        delete list;
    delete mRecordCallback;
}

TransformManager::Group::~Group()
{
    for (Record* record : mRecords)
        delete record;
    delete mGroupCallback;
}

TransformManager::TransformManager()
{
    SetInstance(this);
}

TransformManager::~TransformManager()
{
    for (Group* group : mGroups)
        delete group;
    for (Group* group : mDiscarded)
        delete group;
}

void TransformManager::SetIdle(bool idle)
{
    WindowManager* frames = WindowManager::Instance();
    if (frames != nullptr)
        frames->SetTaskIdle(this, idle);
}

TransformManager::Group* TransformManager::FindGroup(TM_Transform* target) const
{
    for (Group* group : mGroups)
        if (group->mTarget == target)
            return group;
    return nullptr;
}

TransformManager::Record* TransformManager::FindRecord(uint32_t id) const
{
    for (Group* group : mGroups)
        for (Record* record : group->mRecords)
            if (record->mId == id)
                return record;
    return nullptr;
}

size_t TransformManager::GetTransformCount(TM_Transform* target) const
{
    Group* group = FindGroup(target);
    return group != nullptr ? group->mRecords.size() : 0;
}

uint32_t TransformManager::AddTransform(TM_Transform* target, TM_InstructionList* list,
                                        Callback* groupCallback, Callback* recordCallback)
{
    Record* record = new Record;
    record->mId = ++mLastId;
    record->mTarget = target;
    record->mRecordCallback = recordCallback;
    list->Start(target);
    record->mLists.push_back(list);

    Group* group = FindGroup(target);
    if (group != nullptr)
    {
        group->mRecords.push_back(record);
        mRecordsChanged = 1;
        if (groupCallback != nullptr)
        {
            delete group->mGroupCallback;
            group->mGroupCallback = groupCallback;
        }
        return record->mId;
    }
    group = new Group;
    group->mTarget = target;
    group->mGroupCallback = groupCallback;
    group->mRecords.push_back(record);
    mGroups.push_back(group);
    mGroupsChanged = 1;
    if (mSuspended == 0 && mGroups.size() == 1)
        SetIdle(false);
    return record->mId;
}

uint32_t TransformManager::AppendToTransform(uint32_t id, TM_InstructionList* list)
{
    Record* record = FindRecord(id);
    if (record == nullptr)
    {
        ReportError("invalid param", "transformmanager", 48, false);
        delete list;
        return 0;
    }
    list->Start(record->mTarget);
    record->mLists.push_back(list);
    return id;
}

void TransformManager::DiscardGroup(Group* group)
{
    if (!mInPass)
    {
        delete group;
        return;
    }
    for (Record* record : group->mRecords)
        record->mRemoved = true;
    mDiscarded.push_back(group);
}

void TransformManager::RemoveTransforms(TM_Transform* target)
{
    auto it = std::find_if(mGroups.begin(), mGroups.end(),
                           [target](const Group* g) { return g->mTarget == target; });
    if (it == mGroups.end())
        return;
    Group* group = *it;
    mGroups.erase(it);
    mGroupsChanged = 1;
    DiscardGroup(group);
    if (mGroups.empty())
        SetIdle(true);
}

void TransformManager::RemoveAll()
{
    if (mGroups.empty())
        return;
    std::vector<Group*> groups;
    groups.swap(mGroups);
    for (Group* group : groups)
        DiscardGroup(group);
    SetIdle(true);
    mGroupsChanged = 1;
}

void TransformManager::SetLooping(uint32_t id)
{
    Record* record = FindRecord(id);
    if (record != nullptr)
        record->mRepeat = 1;
}

void TransformManager::SetLoopingAll(TM_Transform* target)
{
    Group* group = FindGroup(target);
    if (group != nullptr)
        for (Record* record : group->mRecords)
            record->mRepeat = 1;
}

void TransformManager::StopClock(Record* record, uint32_t now)
{
    if (record->mCurrent < record->mLists.size() && record->mLists[record->mCurrent]->HasStarted())
        record->mLists[record->mCurrent]->mPauseTime = now;
}

void TransformManager::StartClock(Record* record, uint32_t now)
{
    if (record->mCurrent < record->mLists.size() && record->mLists[record->mCurrent]->HasStarted())
    {
        TM_InstructionList* list = record->mLists[record->mCurrent];
        list->mStartTime = list->mStartTime - list->mPauseTime + now;
    }
}

// A record's own pause and the application's suspension are kept apart: its clock stands while
// either holds, and only the one that came first stopped it.
void TransformManager::PauseRecord(Record* record, uint32_t now)
{
    if (record->mPaused != 0)
        return;
    record->mPaused = 1;
    if (mSuspended == 0)
        StopClock(record, now);
}

void TransformManager::ResumeRecord(Record* record, uint32_t now)
{
    if (record->mPaused == 0)
        return;
    record->mPaused = 0;
    if (mSuspended == 0)
        StartClock(record, now);
}

void TransformManager::PauseTransforms(TM_Transform* target)
{
    Group* group = FindGroup(target);
    if (group != nullptr)
        for (Record* record : group->mRecords)
            PauseRecord(record, DeltaTime::Now());
}

void TransformManager::ResumeTransforms(TM_Transform* target)
{
    Group* group = FindGroup(target);
    if (group != nullptr)
        for (Record* record : group->mRecords)
            ResumeRecord(record, DeltaTime::Now());
}

void TransformManager::PauseAll()
{
    if (mSuspended != 0)
        return;
    mSuspended = 1;
    SetIdle(true);
    for (Group* group : mGroups)
        for (Record* record : group->mRecords)
            if (record->mPaused == 0)
                StopClock(record, DeltaTime::Now());
}

void TransformManager::ResumeAll()
{
    if (mSuspended == 0)
        return;
    mSuspended = 0;
    // What an owner paused for itself (a dialog holding its board) stays paused until that owner
    // lets it go.
    for (Group* group : mGroups)
        for (Record* record : group->mRecords)
            if (record->mPaused == 0)
                StartClock(record, DeltaTime::Now());
    SetIdle(mGroups.empty());
}

bool TransformManager::Step(Record* record, uint32_t now)
{
    if (record->mLists.empty())
        return false;
    if (record->mPaused != 0)
        return true;
    if (record->mLists[record->mCurrent]->Update(now))
        return true;
    ++record->mCurrent;
    if (record->mCurrent < record->mLists.size())
        return true;
    if (record->mRecordCallback != nullptr)
    {
        record->mRecordCallback->Call(record->mTarget, record->mId);
        // The callback may have removed this record's group; the record is then only waiting for
        // the pass to end and is not to be touched.
        if (record->mRemoved)
            return false;
        if (record->mCurrent < record->mLists.size())
            return true;
    }
    if (record->mRepeat == 0)
        return false;
    for (TM_InstructionList* list : record->mLists)
        list->Reset();
    record->mCurrent = 0;
    return true;
}

size_t TransformManager::FindGroupFrom(int32_t index) const
{
    for (size_t i = 0; i < mGroups.size(); ++i)
        if (mGroups[i]->mIndex >= index)
            return i;
    return mGroups.size();
}

size_t TransformManager::FindRecordFrom(const Group* group, int32_t index)
{
    for (size_t i = 0; i < group->mRecords.size(); ++i)
        if (group->mRecords[i]->mIndex >= index)
            return i;
    return group->mRecords.size();
}

void TransformManager::Update()
{
    if (mSuspended != 0 || mGroups.empty())
    {
        SetIdle(true);
        return;
    }
    uint32_t now = DeltaTime::Now();
    for (size_t g = 0; g < mGroups.size(); ++g)
    {
        mGroups[g]->mIndex = static_cast<int32_t>(g);
        for (size_t r = 0; r < mGroups[g]->mRecords.size(); ++r)
            mGroups[g]->mRecords[r]->mIndex = static_cast<int32_t>(r);
    }
    mGroupsChanged = 0;
    mRecordsChanged = 0;
    mInPass = true;

    size_t gi = 0;
    bool passEnded = false;
    while (!passEnded && gi < mGroups.size())
    {
        Group* group = mGroups[gi];
        // Made during this pass by a callback: stepped from the next frame on.
        if (group->mIndex == -1)
            break;
        size_t ri = 0;
        while (ri < group->mRecords.size())
        {
            Record* record = group->mRecords[ri];
            if (record->mIndex == -1)
                break;
            int32_t recordIndex = record->mIndex;
            bool running = Step(record, now);
            if (mGroupsChanged != 0)
            {
                size_t found = FindGroupFrom(group->mIndex);
                mGroupsChanged = 0;
                mRecordsChanged = 0;
                if (found == mGroups.size())
                {
                    passEnded = true;
                    break;
                }
                if (mGroups[found] != group)
                {
                    // The group at hand was removed: go on with the one now in its place.
                    gi = found;
                    group = mGroups[gi];
                    ri = 0;
                    continue;
                }
                // An earlier group may have gone: the group at hand can stand elsewhere now.
                gi = found;
                ri = FindRecordFrom(group, recordIndex);
            }
            else if (mRecordsChanged != 0)
            {
                ri = FindRecordFrom(group, recordIndex);
                mRecordsChanged = 0;
            }
            if (ri < group->mRecords.size() && group->mRecords[ri] == record)
            {
                if (!running)
                {
                    group->mRecords.erase(group->mRecords.begin() + static_cast<ptrdiff_t>(ri));
                    delete record;
                }
                else
                {
                    ++ri;
                }
            }
        }
        if (passEnded)
            break;
        if (gi >= mGroups.size() || mGroups[gi] != group)
            continue;
        if (!group->mRecords.empty())
        {
            ++gi;
            continue;
        }
        if (group->mGroupCallback != nullptr)
        {
            group->mGroupCallback->Call(group->mTarget, 0);
            if (mGroupsChanged != 0)
            {
                size_t found = FindGroupFrom(group->mIndex);
                mGroupsChanged = 0;
                mRecordsChanged = 0;
                if (found == mGroups.size() || mGroups[found] != group)
                    break;
                gi = found;
            }
        }
        if (group->mRecords.empty())
        {
            mGroups.erase(mGroups.begin() + static_cast<ptrdiff_t>(gi));
            delete group;
        }
        else
        {
            ++gi;
        }
    }

    mInPass = false;
    for (Group* group : mDiscarded)
        delete group;
    mDiscarded.clear();
}
