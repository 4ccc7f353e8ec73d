// Data folders, path conversions, folder enumeration, optional collation and the machine
// identifier.
#include "platform/files/data_folders.h"

#include "platform/config/config.h"
#include "platform/log.h"
#include "sys/process/identity.h"
#include "sys/utf8.h"

#include <cstring>
#include <string>

namespace
{
TString EnsureTrailingSlash(TString folder)
{
    if (folder.Length() == 0 || folder.CharAt(folder.Length() - 1) != '/')
        folder += '/';
    return folder;
}

TString WithoutTrailingSlash(TString folder)
{
    int n = folder.Length();
    if (n > 1 && folder.CharAt(n - 1) == '/')
        folder = folder.Substr(0, n - 1);
    return folder;
}
} // namespace

TDataFolders FixDataFolders(const TString& gameName, const TString& exeFolder,
                            const TString& startupFolder, bool hosted,
                            const TCommandLine& commandLine)
{
    TDataFolders folders{exeFolder, exeFolder, exeFolder, true, TString()};
    if (!hosted || commandLine.mHostPage)
    {
        TString user;
        TString reason;
        const int result = GetAppDataFolder(false, gameName, user, kMaxDataFolderBytes, &reason);
        if (result == 0)
            folders.mUserFolder = user;
        else if (result > 0)
            folders.mNoUserFolder =
                TString::Format("its path would be %d bytes long, more than the %d this system "
                                "allows",
                                result, kMaxDataFolderBytes);
        else
            folders.mNoUserFolder = reason;
        TString common;
        folders.mCommonFolder = GetAppDataFolder(true, gameName, common, kMaxDataFolderBytes) == 0
                                    ? common
                                    : folders.mUserFolder;
        TString desktop;
        folders.mDesktopFolder =
            GetDesktopFolder(desktop, kMaxDataFolderBytes) == 0 ? desktop : folders.mUserFolder;
    }
    folders.mUserFolder = WithoutTrailingSlash(folders.mUserFolder);
    folders.mCommonFolder = WithoutTrailingSlash(folders.mCommonFolder);

    // The log is not open yet: PlatformMain writes the switch's line once it is. The program's
    // own folder is current by now, but the player named the folder from where they started it;
    // when that cannot be had, a relative name has nothing to stand on.
    if (commandLine.mWorkingFolderGiven)
    {
        TString folder = commandLine.mWorkingFolder;
        const bool relative = folder.Length() > 0 && folder.CharAt(0) != '/';
        if (relative && startupFolder.Length() > 0)
            folder = EnsureTrailingSlash(startupFolder) + folder;
        folders.mWorkingFolderSwitched =
            (!relative || startupFolder.Length() > 0) && sys::SetCurrentFolder(folder.c_str());
    }
    return folders;
}

int GetAppDataFolder(bool common, const TString& name, TString& out, int size, TString* reason)
{
    // An absent publisher and an empty one differ: only the absent one gets the default.
    const TString absent("\x01");
    TString publisher = GetConfig("publisher", absent);
    TString publisherPart = publisher == absent ? TString("Quillmark/") : publisher + "/";
    std::string special;
    std::string why;
    // The common folder is only named: nothing may ever be written there, and the file layer
    // makes the folders on the way to the first file it writes.
    if (!sys::GetSpecialFolder(common ? sys::SpecialFolder::CommonAppData
                                      : sys::SpecialFolder::AppData,
                               !common, special, &why))
    {
        if (reason != nullptr)
            *reason = why.c_str();
        return -1;
    }
    // Not the 260-byte full path: the size given bounds the folder.
    TString folder = EnsureTrailingSlash(TString(sys::GetFullPath(special).c_str()));
    int needed = folder.Length() + 1 + publisherPart.Length() + name.Length();
    if (needed > size)
        return needed;
    out = folder + publisherPart;
    if (!common)
        sys::MakeFolder(out.c_str());
    out = out + name + "/";
    if (!common)
        sys::MakeFolder(out.c_str());
    return 0;
}

int GetDesktopFolder(TString& out, int size)
{
    std::string desktop;
    if (!sys::GetSpecialFolder(sys::SpecialFolder::Desktop, true, desktop))
        return -1;
    TString folder = EnsureTrailingSlash(TString(sys::GetFullPath(desktop).c_str()));
    if (folder.Length() + 1 > size)
        return folder.Length() + 1;
    out = folder;
    return 0;
}

const char16_t* Utf8ToWide(const char* text)
{
    static std::u16string buffer;
    static const char16_t kEmpty[1] = {0};
    if (text == nullptr || *text == 0)
    {
        std::u16string().swap(buffer);
        return kEmpty;
    }
    buffer.clear();
    for (size_t left = std::strlen(text); left > 0;)
    {
        int used = 0;
        uint32_t cp = sys::ReadUtf8(text, left, used);
        text += used;
        left -= static_cast<size_t>(used);
        // A broken sequence (an overlong form too) stands for itself as U+FFFD.
        if (cp == sys::kBrokenUtf8)
            cp = sys::kReplacementCharacter;
        if (cp >= 0x10000)
        {
            cp -= 0x10000;
            buffer.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            buffer.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
        else
            buffer.push_back(static_cast<char16_t>(cp));
    }
    return buffer.c_str();
}

TString WideToUtf8(const char16_t* wide)
{
    if (wide == nullptr)
        return TString();
    TString out("");
    for (const char16_t* p = wide; *p != 0; ++p)
    {
        uint32_t cp = *p;
        if (cp >= 0xD800 && cp < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000)
        {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        }
        else if (cp >= 0xD800 && cp < 0xE000)
            cp = 0xFFFD;
        char bytes[4];
        int n = 0;
        if (cp < 0x80)
            bytes[n++] = static_cast<char>(cp);
        else if (cp < 0x800)
        {
            bytes[n++] = static_cast<char>(0xC0 | cp >> 6);
            bytes[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        else if (cp < 0x10000)
        {
            bytes[n++] = static_cast<char>(0xE0 | cp >> 12);
            bytes[n++] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            bytes[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        else
        {
            bytes[n++] = static_cast<char>(0xF0 | cp >> 18);
            bytes[n++] = static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            bytes[n++] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            bytes[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        out.Append(bytes, n);
    }
    return out;
}

TString GetFullPath(const TString& path)
{
    std::string full = sys::GetFullPath(path.c_str());
    if (full.empty() || static_cast<int>(full.size()) >= kMaxPathBytes)
        return TString();
    return TString(full.c_str());
}

void GetShortPath(TString& path, int size)
{
    if (size <= 0)
        path = "";
    else if (path.Length() >= size)
        path = path.Substr(0, size - 1);
}

// ---- FolderSearch ----

void FolderSearch::Open(const TString& folder)
{
    mListing.Close();
    if (folder.Length() == 0)
        return;
    mListing.Open(folder.c_str());
}

bool FolderSearch::Next(TString& name, bool* isFolder)
{
    std::string entry;
    bool folder = false;
    while (mListing.Next(entry, folder))
    {
        if (folder && isFolder == nullptr)
            continue;
        name = entry.c_str();
        if (isFolder != nullptr)
            *isFolder = folder;
        return true;
    }
    mListing.Close();
    return false;
}

// ---- collation ----

int Collate(const char* a, const char* b)
{
    return CompareStrings(a, b);
}

// ---- machine identifier ----

TString MakeComputerIdFromKey(const uint8_t key[8])
{
    TString id;
    id.Reserve(17);
    for (int i = 0; i < 8; ++i)
    {
        uint8_t x = static_cast<uint8_t>(key[i] ^ key[(i + 1) % 8]);
        id += static_cast<char>(64 + (x & 31));
        id += static_cast<char>(66 + i + (x >> 5));
    }
    return id;
}

TString MakeComputerId()
{
    uint8_t key[8] = {};
    if (!sys::GetFirstAdapterAddress(key))
    {
        uint8_t guid[16];
        sys::NewGuid(guid);
        std::memcpy(key, guid, 8);
    }
    key[6] = key[3];
    key[7] = key[4];
    return MakeComputerIdFromKey(key);
}
