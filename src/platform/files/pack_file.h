// Pack files (".qmp", magic "QMPK"): reading a pack's directory into the path map, the table of
// open packs, and TFlatFileMap, the open file that reads an entry out of its pack.
#pragma once

#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>
#include <vector>

// One pack held open for reading, shared by its table record and by the entries open on it.
class TFileMapData;

// The most bytes a pack may hold: its directory's offsets are unsigned 32-bit numbers.
constexpr uint64_t kMaxPackFileBytes = 0xFFFFFFFFull;
// The most bytes an entry may hold: an open file answers its length and position as an int.
constexpr uint32_t kMaxPackEntryBytes = 0x7FFFFFFFu;
// The most entries the packs' directories may hold together: each costs the path map about 190
// bytes, so this bounds them at about 50 MB (a whole game in one pack holds a few thousand).
constexpr uint32_t kMaxPackEntries = 1u << 18;

// The most packs read in a run: each keeps a file descriptor open while the game runs, and the
// player's files (the log, the saves and their locks) need some of the usual 1,024.
constexpr int kMaxOpenPacks = 256;

class TFileMapHandler
{
public:
    TFileMapHandler();
    TFileMapHandler(const TFileMapHandler& other) = default;
    TFileMapHandler& operator=(const TFileMapHandler& other) = default;
    virtual ~TFileMapHandler();

    // Opens the named file ("::" allowed in front of a native path); false when it cannot be read.
    bool Open(const TString& name);
    void Close();
    bool IsOpen() const;
    // The pack's size as it was opened.
    uint64_t GetSize() const;
    const TString& GetName() const { return mName; }
    // The entries it put in the path map (what it takes of kMaxPackEntries).
    uint32_t GetEntryCount() const { return mEntryCount; }
    void SetEntryCount(uint32_t count) { mEntryCount = count; }
    const std::shared_ptr<TFileMapData>& GetMapping() const { return mData; }

private:
    std::shared_ptr<TFileMapData> mData;
    TString mName;
    uint32_t mEntryCount = 0;
};

// Reads every file whose name holds ".qmp" in `folder`, in sorted order, from the asset folder.
void ScanPacks(const TString& folder, TPathMap& map);
// Reads one pack's directory into the map and opens the pack. Entries whose names would reach
// outside the assets (a ":", a ".." part, a leading "/") or that are larger than
// kMaxPackEntryBytes are refused, and so is a pack larger than kMaxPackFileBytes, or whose
// directory would take the packs past kMaxPackEntries, each with a log line; a pack past
// kMaxOpenPacks is refused, the first of them with a line.
void ReadPack(const TString& packName, TPathMap& map);
// The number of packs read so far (indexes in entry locations).
int GetPackCount();
// Forgets every pack (teardown and tests); entries still open keep their pack open.
void ClearPackTable();

class TFlatFileMap : public TFileData
{
public:
    TFlatFileMap() = default;
    ~TFlatFileMap() override;

    bool Open(const TString& location, int mode) override;
    int Close() override;
    void UngetLast() override;
    void Seek(int offset, int origin) override;
    int Length() override;
    int Tell() override;
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    bool AtEnd() override;

private:
    // Reads `count` bytes of the entry at the position into `buffer` without moving it: the bytes
    // read, fewer (with the end flag set and a log line) when the pack ends sooner than its
    // directory said, as it does when the pack was cut or its drive went away while the game ran.
    uint32_t ReadPackBytes(void* buffer, uint32_t count);

    int mMode = 0;
    uint32_t mOffset = 0;
    uint32_t mSize = 0;
    uint32_t mPosition = 0;
    bool mEnd = false;
    bool mReadFailed = false;
    TString mLocation;
    // What small reads read ahead, from the entry's position mAheadStart: the readers that take a
    // byte at a time would otherwise cost a system call for each.
    std::vector<uint8_t> mAhead;
    uint32_t mAheadStart = 0;
    uint32_t mAheadLength = 0;
    // Keeps the pack open while this entry is open, even when the pack is read again meanwhile.
    std::shared_ptr<TFileMapData> mPack;
};
