// Pack files: directory reading, the pack table and reads of entries out of the mapped packs.
#include "platform/files/pack_file.h"

#include "platform/files/data_folders.h"
#include "platform/files/file_data.h"
#include "platform/log.h"
#include "sys/mapped_file.h"
#include "sys/paths.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

class TFileMapData
{
public:
    sys::MappedFile mFile;
};

namespace
{
std::vector<TFileMapHandler>& PackTable()
{
    static std::vector<TFileMapHandler> table;
    return table;
}

// Numbers travel through the location text as signed 32-bit values, whatever the width of long.
int32_t ParseInt32(const char* p)
{
    return static_cast<int32_t>(std::strtol(p, nullptr, 10));
}

bool ReadUint32(TFile& file, uint32_t& value)
{
    uint8_t bytes[4];
    if (file.Read(bytes, 4) != 4)
        return false;
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}
} // namespace

// ---- TFileMapHandler ----

TFileMapHandler::TFileMapHandler() : mData(std::make_shared<TFileMapData>()) {}

TFileMapHandler::~TFileMapHandler() = default;

bool TFileMapHandler::Open(const TString& name)
{
    mName = name;
    // A fresh mapping object: entries still open on the old one keep it alive.
    mData = std::make_shared<TFileMapData>();
    TString path = name;
    if (path.Length() >= 2 && path.CharAt(0) == ':' && path.CharAt(1) == ':')
        path = path.Substr(2);
    std::string full = sys::GetFullPath(path.c_str());
    if (full.empty() || !sys::PathAccess(full, 4))
        return false;
    return mData->mFile.Open(full);
}

void TFileMapHandler::Close()
{
    mData = std::make_shared<TFileMapData>();
}

const uint8_t* TFileMapHandler::GetData() const
{
    return mData->mFile.Data();
}

uint32_t TFileMapHandler::GetSize() const
{
    return static_cast<uint32_t>(mData->mFile.Size());
}

// ---- pack table ----

int GetPackCount()
{
    return static_cast<int>(PackTable().size());
}

void ClearPackTable()
{
    PackTable().clear();
}

void ScanPacks(const TString& folder, TPathMap& map)
{
    std::vector<TString> names;
    FolderSearch search(folder);
    TString name;
    while (search.Next(name, nullptr))
    {
        if (std::strstr(name.c_str(), ".qmp") != nullptr)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const TString& pack : names)
        ReadPack(TString("::assets/") + pack, map);
}

void ReadPack(const TString& packName, TPathMap& map)
{
    std::vector<TFileMapHandler>& table = PackTable();
    size_t index = table.size();
    for (size_t i = 0; i < table.size(); ++i)
    {
        if (strcmp(table[i].GetName().c_str(), packName.c_str()) == 0)
        {
            index = i;
            table[i].Close();
            break;
        }
    }

    TFile file;
    if (!file.Open(packName, kFileReadBinary))
        return;
    char magic[5] = {'X', 'X', 'X', 'X', 0};
    file.Read(magic, 4);
    if (std::strcmp(magic, "QMPK") != 0)
        return;
    uint32_t rawCount = 0;
    bool whole = ReadUint32(file, rawCount);
    int32_t count = static_cast<int32_t>(rawCount);
    // A directory cut short ends the reading: the records read before the cut stay registered.
    int32_t registered = 0;
    // An entry without a name would be the empty key, which folder walks take as "start again".
    int32_t nameless = 0;
    for (; whole && registered < count; ++registered)
    {
        uint8_t length = 0;
        char entryName[256];
        uint32_t offset = 0;
        uint32_t size = 0;
        whole = file.Read(&length, 1) == 1 && file.Read(entryName, length) == length &&
                ReadUint32(file, offset) && ReadUint32(file, size);
        if (!whole)
            break;
        entryName[length] = 0;
        if (entryName[0] == 0)
        {
            ++nameless;
            continue;
        }
        TString key(entryName);
        key.MakeLower();
        map[key] = TString::Format("@%d:%ld,%ld", static_cast<int>(index),
                                   static_cast<long>(static_cast<int32_t>(offset)),
                                   static_cast<long>(static_cast<int32_t>(size)));
    }
    file.Close();
    if (nameless > 0)
        Log("Pack %s: %d entries without a name skipped", packName.c_str(),
            static_cast<int>(nameless));
    if (!whole)
        Log("Pack %s: directory cut short after %d entries", packName.c_str(),
            static_cast<int>(registered));

    TFileMapHandler record;
    if (!record.Open(packName))
        Log("Failed to open flat file %s", packName.c_str());
    if (index == table.size())
        table.push_back(record);
    else
        table[index] = record;
}

// ---- TFlatFileMap ----

TFlatFileMap::~TFlatFileMap()
{
    Close();
}

bool TFlatFileMap::Open(const TString& location, int mode)
{
    Close();
    const char* text = location.c_str();
    if (text[0] != '@')
        return false;
    int32_t index = ParseInt32(text + 1);
    const std::vector<TFileMapHandler>& table = PackTable();
    if (index < 0 || static_cast<size_t>(index) >= table.size())
        return false;
    const TFileMapHandler& record = table[static_cast<size_t>(index)];
    if (record.GetData() == nullptr)
    {
        Log("error reading %s from flat file", location.c_str());
        return false;
    }
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr)
    {
        Close();
        return false;
    }
    const char* comma = std::strchr(text, ',');
    if (comma == nullptr)
    {
        Close();
        return false;
    }
    int32_t offset = ParseInt32(colon + 1);
    int32_t size = ParseInt32(comma + 1);
    // Never read outside the mapping, whatever the directory claims.
    uint64_t packSize = record.GetSize();
    if (offset < 0 || size < 0 ||
        static_cast<uint64_t>(offset) + static_cast<uint64_t>(size) > packSize)
    {
        Log("error reading %s from flat file", location.c_str());
        return false;
    }
    mMapping = record.GetMapping();
    mStart = record.GetData() + offset;
    mSize = static_cast<uint32_t>(size);
    mMode = mode;
    mPosition = 0;
    mEnd = false;
    return true;
}

int TFlatFileMap::Close()
{
    mStart = nullptr;
    mSize = 0;
    mPosition = 0;
    mEnd = true;
    mMapping.reset();
    return 0;
}

void TFlatFileMap::UngetLast()
{
    Seek(-1, kSeekCurrent);
    mEnd = false;
}

void TFlatFileMap::Seek(int offset, int origin)
{
    uint32_t position = SeekInBlock(mPosition, mSize, offset, origin);
    if (position <= mSize)
    {
        mPosition = position;
        mEnd = false;
    }
    else
        mPosition = mSize;
}

int TFlatFileMap::Length()
{
    return static_cast<int>(mSize);
}

int TFlatFileMap::Tell()
{
    return static_cast<int>(mPosition);
}

int TFlatFileMap::Read(void* buffer, int count)
{
    if (mStart == nullptr || buffer == nullptr || count <= 0)
        return 0;
    uint32_t wanted = static_cast<uint32_t>(count);
    if (static_cast<uint64_t>(mPosition) + wanted > mSize)
    {
        wanted = mSize - mPosition;
        mEnd = true;
    }
    return ReadFromBlock(mStart, mSize, mPosition, wanted, mMode == kFileReadText, buffer);
}

int TFlatFileMap::Write(const void*, int)
{
    return 0;
}

bool TFlatFileMap::AtEnd()
{
    return mEnd;
}
