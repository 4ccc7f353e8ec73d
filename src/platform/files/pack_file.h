// Pack files (".qmp", magic "QMPK"): reading a pack's directory into the path map, the table of
// mapped packs, and TFlatFileMap, the open file that reads an entry straight from its pack's
// mapping.
#pragma once

#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>

// One pack's read-only mapping, shared by its table record and by the entries open on it.
class TFileMapData;

class TFileMapHandler
{
public:
    TFileMapHandler();
    TFileMapHandler(const TFileMapHandler& other) = default;
    TFileMapHandler& operator=(const TFileMapHandler& other) = default;
    virtual ~TFileMapHandler();

    // Maps the named file ("::" allowed in front of a native path); false when it cannot be mapped.
    bool Open(const TString& name);
    void Close();
    const uint8_t* GetData() const;
    uint32_t GetSize() const;
    const TString& GetName() const { return mName; }
    const std::shared_ptr<TFileMapData>& GetMapping() const { return mData; }

private:
    std::shared_ptr<TFileMapData> mData;
    TString mName;
};

// Reads every file whose name holds ".qmp" in `folder`, in sorted order, from the asset folder.
void ScanPacks(const TString& folder, TPathMap& map);
// Reads one pack's directory into the map and maps the pack.
void ReadPack(const TString& packName, TPathMap& map);
// The number of packs read so far (indexes in entry locations).
int GetPackCount();
// Forgets every pack (teardown and tests); entries still open keep their mapping.
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
    int mMode = 0;
    const uint8_t* mStart = nullptr;
    uint32_t mSize = 0;
    uint32_t mPosition = 0;
    bool mEnd = false;
    // Keeps the pack mapped while this entry is open, even when the pack is read again meanwhile.
    std::shared_ptr<TFileMapData> mMapping;
};
