// Pack files: directory reading, the pack table and reads of entries out of the open packs.
#include "platform/files/pack_file.h"

#include "platform/files/data_folders.h"
#include "platform/files/file_data.h"
#include "platform/log.h"
#include "sys/files/read_only_file.h"
#include "sys/files/paths.h"

#include <algorithm>
#include <cstring>
#include <vector>

class TFileMapData
{
public:
    sys::ReadOnlyFile mFile;
};

namespace
{
std::vector<TFileMapHandler>& PackTable()
{
    static std::vector<TFileMapHandler> table;
    return table;
}

// Packs refused past kMaxOpenPacks since the table was last cleared: the first is said.
int gPacksPastTheBound = 0;

// Reads smaller than this read this much ahead.
constexpr uint32_t kReadAheadBytes = 8192;

// The unsigned decimal number at `p`; false when there is none or it passes 32 bits.
bool ParseUint32(const char* p, uint32_t& value)
{
    uint64_t number = 0;
    const char* start = p;
    for (; *p >= '0' && *p <= '9'; ++p)
    {
        number = number * 10 + static_cast<uint64_t>(*p - '0');
        if (number > 0xFFFFFFFFu)
            return false;
    }
    value = static_cast<uint32_t>(number);
    return p != start;
}

// A name that would stand for a data-folder file ("user:prefs.dat") or lie outside the assets is
// no asset: such an entry would shadow the player's own files.
bool IsAcceptedEntryName(const char* name)
{
    return std::strchr(name, ':') == nullptr && !NamesParentFolder(name) && name[0] != '/' &&
           name[0] != '\\';
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
    // A fresh pack object: entries still open on the old one keep it open.
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

bool TFileMapHandler::IsOpen() const
{
    return mData->mFile.IsOpen();
}

uint64_t TFileMapHandler::GetSize() const
{
    return mData->mFile.Size();
}

// ---- pack table ----

int GetPackCount()
{
    return static_cast<int>(PackTable().size());
}

void ClearPackTable()
{
    PackTable().clear();
    gPacksPastTheBound = 0;
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
    // Each pack read holds a descriptor for the whole run: past the bound, the player's files
    // would find none left.
    if (index == table.size() && table.size() >= kMaxOpenPacks)
    {
        if (gPacksPastTheBound++ == 0)
            Log("ERROR: Pack %s was not read, nor any other past the %d packs the game keeps open: "
                "the files in them are not found",
                packName.c_str(), kMaxOpenPacks);
        return;
    }

    TFile file;
    if (!file.Open(packName, kFileReadBinary))
        return;
    char magic[5] = {'X', 'X', 'X', 'X', 0};
    file.Read(magic, 4);
    if (std::strcmp(magic, "QMPK") != 0)
        return;
    // Opened before the directory is taken: a pack larger than its offsets can address is
    // refused whole.
    TFileMapHandler record;
    const bool opened = record.Open(packName);
    if (opened && record.GetSize() > kMaxPackFileBytes)
    {
        Log("Pack %s: %llu bytes, more than the %llu a pack can address; not read",
            packName.c_str(), static_cast<unsigned long long>(record.GetSize()),
            static_cast<unsigned long long>(kMaxPackFileBytes));
        return;
    }
    uint32_t rawCount = 0;
    bool whole = ReadUint32(file, rawCount);
    // The count is signed: a negative one holds nothing.
    const int32_t count = whole ? std::max(static_cast<int32_t>(rawCount), 0) : 0;
    // Refused unread, before its directory is taken in: the budget is the packs' together, and a
    // pack takes what it put in the map.
    uint64_t held = 0;
    for (size_t i = 0; i < table.size(); ++i)
        held += i == index ? 0 : table[i].GetEntryCount();
    if (held + static_cast<uint64_t>(count) > kMaxPackEntries)
    {
        Log("Pack %s was not read: its directory holds %d entries, more than the %u the packs "
            "may hold together (%llu in those read before it)",
            packName.c_str(), static_cast<int>(count), kMaxPackEntries,
            static_cast<unsigned long long>(held));
        return;
    }
    // A directory cut short ends the reading: the records read before the cut stay registered.
    int32_t registered = 0;
    // The entries put in the map, what the pack takes of the budget.
    uint32_t taken = 0;
    // An entry without a name would be the empty key, which folder walks take as "start again".
    int32_t nameless = 0;
    int32_t refused = 0;
    TString firstRefused;
    // An open file answers its length and position in an int: a larger entry cannot be read.
    int32_t tooLarge = 0;
    TString firstTooLarge;
    uint32_t firstTooLargeSize = 0;
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
        if (!IsAcceptedEntryName(entryName))
        {
            if (refused++ == 0)
                firstRefused = TString(entryName);
            continue;
        }
        if (size > kMaxPackEntryBytes)
        {
            if (tooLarge++ == 0)
            {
                firstTooLarge = TString(entryName);
                firstTooLargeSize = size;
            }
            continue;
        }
        TString key(entryName);
        key.MakeLower();
        map[key] = TString::Format("@%d:%u,%u", static_cast<int>(index),
                                   static_cast<unsigned>(offset), static_cast<unsigned>(size));
        ++taken;
    }
    file.Close();
    record.SetEntryCount(taken);
    if (nameless > 0)
        Log("Pack %s: %d entries without a name skipped", packName.c_str(),
            static_cast<int>(nameless));
    if (refused > 0)
        Log("Pack %s: %d entries refused, whose names hold \":\" or a \"..\" part or begin with "
            "\"/\" (the first: '%s')",
            packName.c_str(), static_cast<int>(refused), firstRefused.c_str());
    if (tooLarge > 0)
        Log("Pack %s: %d entries refused, larger than the %u bytes a file may hold (the first: "
            "'%s', %u bytes)",
            packName.c_str(), static_cast<int>(tooLarge), kMaxPackEntryBytes, firstTooLarge.c_str(),
            firstTooLargeSize);
    if (!whole)
        Log("Pack %s: directory cut short after %d entries", packName.c_str(),
            static_cast<int>(registered));

    if (!opened)
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
    uint32_t index = 0;
    const std::vector<TFileMapHandler>& table = PackTable();
    if (!ParseUint32(text + 1, index) || index >= table.size())
        return false;
    const TFileMapHandler& record = table[index];
    if (!record.IsOpen())
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
    uint32_t offset = 0;
    uint32_t size = 0;
    // Never read outside the pack, whatever the directory claims.
    if (!ParseUint32(colon + 1, offset) || !ParseUint32(comma + 1, size) ||
        size > kMaxPackEntryBytes || static_cast<uint64_t>(offset) + size > record.GetSize())
    {
        Log("error reading %s from flat file", location.c_str());
        return false;
    }
    mPack = record.GetMapping();
    mOffset = offset;
    mSize = size;
    mMode = mode;
    mPosition = 0;
    mEnd = false;
    mReadFailed = false;
    mLocation = location;
    mAheadLength = 0;
    return true;
}

int TFlatFileMap::Close()
{
    mOffset = 0;
    mSize = 0;
    mPosition = 0;
    mEnd = true;
    mPack.reset();
    mAheadLength = 0;
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

uint32_t TFlatFileMap::ReadPackBytes(void* buffer, uint32_t count)
{
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count)
    {
        const uint32_t at = mPosition + done;
        const uint32_t left = count - done;
        if (at >= mAheadStart && at - mAheadStart < mAheadLength)
        {
            const uint32_t n = std::min(left, mAheadLength - (at - mAheadStart));
            std::memcpy(out + done, mAhead.data() + (at - mAheadStart), n);
            done += n;
            continue;
        }
        const uint64_t from = static_cast<uint64_t>(mOffset) + at;
        // Nothing to gain from reading ahead what the caller takes whole.
        const uint32_t ahead = std::min(kReadAheadBytes, mSize - at);
        if (left >= ahead)
        {
            const long long got = mPack->mFile.ReadAt(from, out + done, left);
            done += got > 0 ? static_cast<uint32_t>(got) : 0;
            break;
        }
        mAhead.resize(kReadAheadBytes);
        const long long got = mPack->mFile.ReadAt(from, mAhead.data(), ahead);
        mAheadStart = at;
        mAheadLength = got > 0 ? static_cast<uint32_t>(got) : 0;
        if (mAheadLength == 0)
            break;
    }
    if (done < count)
    {
        mEnd = true;
        if (!mReadFailed)
        {
            mReadFailed = true;
            Log("error reading %s from flat file", mLocation.c_str());
        }
    }
    return done;
}

int TFlatFileMap::Read(void* buffer, int count)
{
    if (!mPack || buffer == nullptr || count <= 0)
        return 0;
    uint32_t wanted = static_cast<uint32_t>(count);
    if (static_cast<uint64_t>(mPosition) + wanted > mSize)
    {
        wanted = mSize - mPosition;
        mEnd = true;
    }
    if (wanted == 0)
        return 0;
    if (mMode != kFileReadText)
    {
        // The readers that take a byte at a time mostly find it read ahead already.
        if (mPosition >= mAheadStart &&
            static_cast<uint64_t>(mPosition - mAheadStart) + wanted <= mAheadLength)
        {
            std::memcpy(buffer, mAhead.data() + (mPosition - mAheadStart), wanted);
            mPosition += wanted;
            return static_cast<int>(wanted);
        }
        const uint32_t got = ReadPackBytes(buffer, wanted);
        mPosition += got;
        return static_cast<int>(got);
    }
    // Text reads drop every CR: each byte read delivers at most one, so no chunk reads further
    // than the bytes still wanted.
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t delivered = 0;
    uint8_t chunk[kReadAheadBytes / 2];
    while (delivered < wanted && mPosition < mSize)
    {
        const uint32_t asked = std::min<uint32_t>(
            {static_cast<uint32_t>(sizeof chunk), wanted - delivered, mSize - mPosition});
        const uint32_t got = ReadPackBytes(chunk, asked);
        for (uint32_t i = 0; i < got; ++i)
        {
            if (chunk[i] != '\r')
                out[delivered++] = chunk[i];
        }
        mPosition += got;
        if (got < asked)
            break;
    }
    return static_cast<int>(delivered);
}

int TFlatFileMap::Write(const void*, int)
{
    return 0;
}

bool TFlatFileMap::AtEnd()
{
    return mEnd;
}
