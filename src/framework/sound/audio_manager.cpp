// The audio manager: the sound table, specifiers, entries and their playbacks, the volume groups
// and the per-frame walk that survives callbacks creating and destroying entries.
#include "framework/sound/audio_manager.h"

#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/window_manager.h"
#include "platform/files/file.h"
#include "sound/sound.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

TString gSoundTableName = "audio/snd.txt";
TString gSoundFileFormat = "audio/%d";

namespace
{
const char* SkipBlanks(const char* s)
{
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\v' || *s == '\f')
        ++s;
    return s;
}

// A signed decimal integer after optional white space; 0 when none starts there. Values beyond
// 32 bits are held at the ends of the range.
int32_t ReadInteger(const char* s)
{
    long long value = std::strtoll(SkipBlanks(s), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// A signed decimal number after optional white space; 0 when none starts there (words such as
// "inf" or "nan" are no decimal numbers).
float ReadDecimal(const char* s)
{
    s = SkipBlanks(s);
    const char* digits = (*s == '+' || *s == '-') ? s + 1 : s;
    if (!std::isdigit(static_cast<unsigned char>(*digits)) && *digits != '.')
        return 0;
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        return 0;
    return static_cast<float>(std::strtod(s, nullptr));
}

// Where `key` starts in `text` from `from` on, ignoring case; null when absent.
const char* FindNoCase(const char* text, const char* key)
{
    size_t length = std::strlen(key);
    for (const char* p = text; *p != '\0'; ++p)
    {
        size_t i = 0;
        while (i < length && p[i] != '\0' &&
               std::tolower(static_cast<unsigned char>(p[i])) == key[i])
            ++i;
        if (i == length)
            return p;
    }
    return nullptr;
}

TString BeforeLastQuery(const TString& specifier)
{
    const char* text = specifier.c_str();
    const char* query = std::strrchr(text, '?');
    return query == nullptr ? specifier
                            : TString(std::string(text, static_cast<size_t>(query - text)).c_str());
}

uint32_t Now()
{
    return DeltaTime::Now();
}
} // namespace

SoundSpecifier ParseSoundSpecifier(const TString& specifier)
{
    SoundSpecifier result;
    const char* text = specifier.c_str();
    const char* query = std::strrchr(text, '?');
    if (query == nullptr)
    {
        result.mName = specifier;
        return result;
    }
    result.mName = TString(std::string(text, static_cast<size_t>(query - text)).c_str());
    if (const char* group = FindNoCase(query, "group="))
        result.mGroup = ReadInteger(group + 6);
    if (const char* volume = FindNoCase(query, "volume="))
        result.mVolume = ReadDecimal(volume + 7);
    return result;
}

// ---- SoundEntry ----

SoundEntry::SoundEntry(std::shared_ptr<TSound> sound, float volume, int32_t group)
    : mSound(std::move(sound)), mVolume(std::clamp(volume, 0.0f, 1.0f)), mGroup(group)
{
}

SoundEntry::~SoundEntry()
{
    Destroy();
}

void SoundEntry::Destroy()
{
    if (mDestroyed)
        return;
    mDestroyed = true;
    Stop();
    mSound.reset();
}

void SoundEntry::Unlink(size_t index)
{
    mRecords[index]->Kill();
    mRecords.erase(mRecords.begin() + static_cast<ptrdiff_t>(index));
}

bool SoundEntry::Play(uint32_t now, SoundPlayRecord* record)
{
    std::shared_ptr<SoundPlayRecord> owned(record);
    if (mDestroyed || mSound == nullptr)
        return false;
    std::shared_ptr<TSoundInstance> instance = mSound->Play(record->mLoop != 0);
    if (instance == nullptr)
        return false;
    record->Start(now, instance, mVolume);
    mRecords.push_back(owned);
    if (mState == kPaused)
        record->Pause(now);
    else if (mState == kStopped)
        mState = kPlaying;
    return true;
}

void SoundEntry::Update(uint32_t now)
{
    if (mState != kPlaying)
        return;
    std::vector<std::shared_ptr<SoundPlayRecord>> walk = mRecords;
    bool removed = false;
    for (const auto& record : walk)
    {
        if (mDestroyed)
            return;
        if (record->IsDead())
            continue;
        if (!record->Update(now) && !record->IsDead())
        {
            auto it = std::find(mRecords.begin(), mRecords.end(), record);
            if (it != mRecords.end())
                Unlink(static_cast<size_t>(it - mRecords.begin()));
            removed = true;
        }
    }
    if (mDestroyed)
        return;
    if (removed || mFadeOutPending != 0)
        RecomputeState();
    if (mFadeOutPending != 0 && mState != kPlaying)
    {
        mFadeOutPending = 0;
        mState = kPaused;
    }
}

void SoundEntry::FadeIn(uint32_t now, uint32_t ms)
{
    if (mState != kPaused)
        return;
    for (const auto& record : mRecords)
        record->FadeIn(now, ms);
    mFadeOutPending = 0;
    mState = kPlaying;
}

void SoundEntry::FadeOut(uint32_t now, uint32_t ms)
{
    if (mState != kPlaying)
        return;
    for (const auto& record : mRecords)
        record->FadeOut(now, ms);
    mFadeOutPending = 1;
}

void SoundEntry::Pause(uint32_t now)
{
    if (mState != kPlaying)
        return;
    for (const auto& record : mRecords)
        record->Pause(now);
    mState = kPaused;
}

void SoundEntry::Resume(uint32_t now)
{
    if (mState != kPaused)
        return;
    for (const auto& record : mRecords)
        record->Resume(now);
    mState = kPlaying;
}

void SoundEntry::Stop()
{
    std::vector<std::shared_ptr<SoundPlayRecord>> records;
    records.swap(mRecords);
    for (const auto& record : records)
        record->Kill();
    mState = kStopped;
}

void SoundEntry::RecomputeState()
{
    mState = kStopped;
    for (const auto& record : mRecords)
    {
        if (record->mState == SoundPlayRecord::kPlaying)
        {
            mState = kPlaying;
            return;
        }
        if (record->mState == SoundPlayRecord::kPaused)
            mState = kPaused;
    }
}

bool SoundEntry::RemoveRecord(SoundPlayRecord* record)
{
    for (size_t i = 0; i < mRecords.size(); ++i)
        if (mRecords[i].get() == record)
        {
            Unlink(i);
            RecomputeState();
            return true;
        }
    return false;
}

// ---- AudioManager ----

AudioManager::AudioManager()
{
    SetInstance(this);
    ReadTable();
}

AudioManager::~AudioManager()
{
    Stop(0, false);
}

void AudioManager::ReadTable()
{
    TFile file;
    if (!file.Open(gSoundTableName, kFileReadText))
    {
        ReportError(gSoundTableName.c_str(), __FILE__, __LINE__, false);
        return;
    }
    int length = file.Length();
    std::vector<char> text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    int got = length > 0 ? file.Read(text.data(), length) : 0;
    if (got <= 0)
    {
        ReportError("Unable to read file", __FILE__, __LINE__, false);
        return;
    }
    text[static_cast<size_t>(got)] = '\0';

    // Commas alone separate tokens (a run of them counts as one); everything else, blanks and
    // line breaks included, belongs to a token.
    std::vector<const char*> tokens;
    for (char* token = std::strtok(text.data(), ","); token != nullptr;
         token = std::strtok(nullptr, ","))
        tokens.push_back(token);
    if (tokens.empty())
        return;
    // The count only reserves room, never more than the pairs there are.
    int32_t count = ReadInteger(tokens[0]);
    size_t pairs = tokens.size() / 2;
    if (count > 0)
        mEntries.reserve(std::min(static_cast<size_t>(count), pairs) + 1);
    mEntries.emplace_back();
    for (size_t i = 1; i < tokens.size(); i += 2)
    {
        int32_t number = i + 1 < tokens.size() ? ReadInteger(tokens[i + 1]) : 0;
        mNames[TString(tokens[i])] = number;
        mEntries.emplace_back();
    }
}

int32_t AudioManager::FindNumber(const TString& name) const
{
    auto it = mNames.find(name);
    return it != mNames.end() ? it->second : -1;
}

SoundEntry* AudioManager::GetEntry(int32_t handle) const
{
    if (handle <= 0 || static_cast<size_t>(handle) >= mEntries.size())
        return nullptr;
    return mEntries[static_cast<size_t>(handle)].get();
}

SoundEntry* AudioManager::Checked(int32_t handle, int line)
{
    SoundEntry* entry = GetEntry(handle);
    if (entry == nullptr)
        ReportError(TString::Format("No sound has the handle %d", handle).c_str(), __FILE__, line,
                    false);
    return entry;
}

void AudioManager::SetIdle(bool idle)
{
    if (WindowManager* frames = WindowManager::Instance())
        frames->SetTaskIdle(this, idle);
}

void AudioManager::Wake(const SoundEntry& entry)
{
    if (mState != kPlaying && entry.mState == SoundEntry::kPlaying)
    {
        mState = kPlaying;
        SetIdle(false);
    }
}

int32_t AudioManager::Play(const TString& specifier, bool stream)
{
    SoundSpecifier spec = ParseSoundSpecifier(specifier);
    auto it = mNames.find(spec.mName);
    if (it == mNames.end())
    {
        ReportError(spec.mName.c_str(), __FILE__, __LINE__, false);
        return 0;
    }
    int32_t n = it->second;
    // Handles index the entries; 0 means every sound to the other operations.
    if (n <= 0 || static_cast<size_t>(n) >= mEntries.size())
    {
        ReportError(TString::Format("Sound '%s' has the number %d, which names no sound slot",
                                    spec.mName.c_str(), n)
                        .c_str(),
                    __FILE__, __LINE__, false);
        return 0;
    }
    std::shared_ptr<SoundEntry>& slot = mEntries[static_cast<size_t>(n)];
    if (slot != nullptr)
    {
        ++slot->mReferences;
        return n;
    }
    std::string file = gSoundFileFormat.c_str();
    size_t at = file.find("%d");
    if (at != std::string::npos)
        file.replace(at, 2, std::to_string(n));
    slot = std::make_shared<SoundEntry>(TSound::Get(file.c_str(), !stream, spec.mGroup),
                                        spec.mVolume, spec.mGroup);
    mLive.push_back(slot);
    mChanged = 1;
    return n;
}

void AudioManager::RecomputeState()
{
    if (mState == kEmpty)
        return;
    mState = kEmpty;
    for (const auto& entry : mLive)
    {
        if (entry->mState == SoundEntry::kPlaying)
        {
            mState = kPlaying;
            return;
        }
        if (entry->mState == SoundEntry::kPaused)
            mState = kIdle;
    }
}

void AudioManager::DestroyEntry(int32_t handle)
{
    std::shared_ptr<SoundEntry> entry = mEntries[static_cast<size_t>(handle)];
    auto it = std::find(mLive.begin(), mLive.end(), entry);
    if (it != mLive.end())
        mLive.erase(it);
    mEntries[static_cast<size_t>(handle)].reset();
    entry->Destroy();
    mChanged = 1;
}

void AudioManager::Stop(int32_t handle, bool force)
{
    if (handle == 0)
    {
        std::vector<std::shared_ptr<SoundEntry>> live;
        live.swap(mLive);
        for (size_t n = 0; n < mEntries.size(); ++n)
            if (mEntries[n] != nullptr)
            {
                if (mEntries[n]->mReferences > 0)
                    mOrphaned[static_cast<int32_t>(n)] += mEntries[n]->mReferences;
                mEntries[n].reset();
            }
        for (const auto& entry : live)
            entry->Destroy();
        mGroups.clear();
        mHeld.clear();
        mState = kEmpty;
        mChanged = 1;
        return;
    }
    if (auto orphaned = mOrphaned.find(handle); orphaned != mOrphaned.end() && !force)
    {
        if (--orphaned->second <= 0)
            mOrphaned.erase(orphaned);
        return;
    }
    SoundEntry* entry = Checked(handle, __LINE__);
    if (entry == nullptr)
        return;
    if (--entry->mReferences > 0 && !force)
        return;
    if (entry->mReferences > 0)
        mOrphaned[handle] += entry->mReferences;
    DestroyEntry(handle);
    if (mLive.empty())
        mState = kEmpty;
    else
        RecomputeState();
}

bool AudioManager::PlayIndex(int32_t handle, SoundPlayRecord* record)
{
    SoundEntry* entry = Checked(handle, __LINE__);
    if (entry == nullptr)
    {
        delete record;
        return false;
    }
    if (record == nullptr)
        record = new SoundPlayRecord(false, nullptr, 0);
    bool started = entry->Play(Now(), record);
    Wake(*entry);
    return started;
}

bool AudioManager::PlayWithCallback(int32_t handle, SoundFade* first, SoundFade* second,
                                    SoundPlayRecord* record)
{
    if (record == nullptr)
        record = new SoundPlayRecord(false, nullptr, 0);
    if (first != nullptr)
        record->AddRamp(first);
    if (second != nullptr)
        record->AddRamp(second);
    return PlayIndex(handle, record);
}

void AudioManager::FadeIn(int32_t handle, uint32_t ms)
{
    uint32_t now = Now();
    if (handle == 0)
    {
        std::vector<std::shared_ptr<SoundEntry>> live = mLive;
        for (const auto& entry : live)
        {
            entry->FadeIn(now, ms);
            Wake(*entry);
        }
        return;
    }
    if (SoundEntry* entry = Checked(handle, __LINE__))
    {
        entry->FadeIn(now, ms);
        Wake(*entry);
    }
}

void AudioManager::FadeOut(int32_t handle, uint32_t ms)
{
    uint32_t now = Now();
    if (handle == 0)
    {
        for (const auto& entry : mLive)
            entry->FadeOut(now, ms);
        return;
    }
    if (SoundEntry* entry = Checked(handle, __LINE__))
        entry->FadeOut(now, ms);
}

void AudioManager::Pause(int32_t handle)
{
    uint32_t now = Now();
    if (handle == 0)
    {
        bool any = false;
        for (const auto& entry : mLive)
        {
            entry->Pause(now);
            any = any || entry->mState != SoundEntry::kStopped;
        }
        mState = any ? kIdle : kEmpty;
        return;
    }
    SoundEntry* entry = Checked(handle, __LINE__);
    if (entry == nullptr)
        return;
    entry->Pause(now);
    if (mState == kIdle)
    {
        // Everything is paused already: a later ResumeAll must leave this one paused.
        mHeld.push_back(mEntries[static_cast<size_t>(handle)]);
        return;
    }
    bool playing = std::any_of(mLive.begin(), mLive.end(),
                               [](const auto& e) { return e->mState == SoundEntry::kPlaying; });
    if (!playing)
        mState = kIdle;
}

void AudioManager::Resume(int32_t handle)
{
    uint32_t now = Now();
    if (handle == 0)
    {
        std::vector<std::shared_ptr<SoundEntry>> live = mLive;
        for (const auto& entry : live)
        {
            entry->Resume(now);
            Wake(*entry);
        }
        return;
    }
    if (SoundEntry* entry = Checked(handle, __LINE__))
    {
        entry->Resume(now);
        Wake(*entry);
    }
}

void AudioManager::StopIndex(int32_t handle)
{
    if (handle == 0)
    {
        for (const auto& entry : mLive)
            entry->Stop();
        mState = kEmpty;
        return;
    }
    SoundEntry* entry = Checked(handle, __LINE__);
    if (entry == nullptr)
        return;
    entry->Stop();
    bool playing = std::any_of(mLive.begin(), mLive.end(),
                               [](const auto& e) { return e->mState == SoundEntry::kPlaying; });
    if (mState != kEmpty && !playing)
        mState = kEmpty;
}

int32_t AudioManager::GetSoundState(const TString& specifier)
{
    int32_t n = FindNumber(BeforeLastQuery(specifier));
    SoundEntry* entry = GetEntry(n);
    return entry != nullptr ? entry->mState : 0;
}

bool AudioManager::AddGroup(int32_t id, int32_t parentId, float volume)
{
    auto group = std::make_unique<SoundGroup>(id, volume);
    if (parentId == -1)
    {
        mGroups.push_back(std::move(group));
        mGroups.back()->Apply(1.0f);
        return true;
    }
    for (auto& top : mGroups)
        if (top->AddChild(parentId, group.get()))
        {
            group.release();
            return true;
        }
    return false;
}

bool AudioManager::SetGroupVolume(int32_t id, float volume)
{
    for (auto& top : mGroups)
        if (top->GetId() == id)
        {
            top->SetVolume(volume);
            return true;
        }
    for (auto& top : mGroups)
        if (top->SetVolumeOf(id, volume))
            return true;
    return false;
}

bool AudioManager::GetGroupVolume(int32_t id, SoundFade* ramp)
{
    uint32_t now = Now();
    for (auto& top : mGroups)
        if (top->AddFade(id, ramp, now))
            return true;
    return false;
}

const SoundGroup* AudioManager::FindTopGroup(int32_t id) const
{
    for (const auto& top : mGroups)
        if (top->GetId() == id)
            return top.get();
    return nullptr;
}

void AudioManager::RemoveRecord(SoundPlayRecord* record)
{
    std::vector<std::shared_ptr<SoundEntry>> live = mLive;
    for (const auto& entry : live)
        if (entry->RemoveRecord(record))
            return;
}

void AudioManager::PauseAll()
{
    uint32_t now = Now();
    mHeld.clear();
    for (const auto& entry : mLive)
    {
        if (entry->mState == SoundEntry::kPaused)
            mHeld.push_back(entry);
        else
            entry->Pause(now);
    }
    mState = kIdle;
}

void AudioManager::ResumeAll()
{
    uint32_t now = Now();
    std::vector<std::shared_ptr<SoundEntry>> live = mLive;
    for (const auto& entry : live)
    {
        auto held =
            std::find_if(mHeld.begin(), mHeld.end(),
                         [&](const std::weak_ptr<SoundEntry>& w) { return w.lock() == entry; });
        if (held != mHeld.end())
        {
            mHeld.erase(held);
            continue;
        }
        entry->Resume(now);
        Wake(*entry);
    }
}

void AudioManager::Update()
{
    if (mState != kPlaying)
    {
        SetIdle(true);
        return;
    }
    uint32_t now = Now();
    for (size_t i = 0; i < mLive.size(); ++i)
        mLive[i]->mPosition = static_cast<int32_t>(i);
    bool playing = false;
    mChanged = 0;
    size_t i = 0;
    while (i < mLive.size())
    {
        // Held here: a callback may release the entry while its update runs.
        std::shared_ptr<SoundEntry> entry = mLive[i];
        if (entry->mPosition == -1)
            break;
        int32_t saved = entry->mPosition;
        entry->Update(now);
        if (mChanged == 0)
        {
            playing = playing || entry->mState == SoundEntry::kPlaying;
            ++i;
            continue;
        }
        // The live list changed under the walk: find the place again by the positions.
        mChanged = 0;
        playing = false;
        size_t next = mLive.size();
        for (size_t j = 0; j < mLive.size(); ++j)
        {
            const SoundEntry& e = *mLive[j];
            if (e.mPosition < saved)
            {
                playing = playing || e.mState == SoundEntry::kPlaying;
                continue;
            }
            if (e.mPosition == saved)
            {
                playing = playing || e.mState == SoundEntry::kPlaying;
                next = j + 1;
            }
            else
            {
                next = j;
            }
            break;
        }
        i = next;
    }
    for (auto& group : mGroups)
        group->Update(now);
    if (mState == kPlaying && !playing)
        mState = mLive.empty() ? kEmpty : kIdle;
}
