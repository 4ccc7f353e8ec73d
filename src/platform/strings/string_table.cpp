// String tables: scanning spreadsheet rows for label and text cells, and expanding "%" escapes.
#include "platform/strings/string_table.h"

#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/log.h"
#include "platform/config/xml.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace
{

const char kMissingText[] = "#####";

// Finds the next cell of a row at or after from and before bound (null: no bound). The cell text is
// what lies between the next ">" and the following "<", with its entity references decoded; end
// points at that "<" (or at the text's NUL when the cell is not closed).
bool ReadDataCell(const char* from, const char* bound, TString& text, const char*& end)
{
    // Searched only up to the next row: a table of rows without data cells would otherwise be
    // searched to its end once per row.
    const char* data = nullptr;
    if (bound)
    {
        const std::string_view row(from, static_cast<size_t>(std::max<ptrdiff_t>(bound - from, 0)));
        const size_t at = row.find("<Data");
        data = at == std::string_view::npos ? nullptr : from + at;
    }
    else
    {
        data = std::strstr(from, "<Data");
    }
    if (!data)
    {
        return false;
    }
    const char* open = std::strchr(data, '>');
    if (!open)
    {
        text = TString("");
        end = data + std::strlen(data);
        return true;
    }
    const char* begin = open + 1;
    const char* close = std::strchr(begin, '<');
    end = close ? close : begin + std::strlen(begin);
    int length = static_cast<int>(end - begin);
    text = TString(begin, static_cast<unsigned>(length));
    UnescapeXml(text, length, nullptr);
    return true;
}

bool IsAllDigits(const std::string& text)
{
    if (text.empty())
    {
        return false;
    }
    for (char c : text)
    {
        if (c < '0' || c > '9')
        {
            return false;
        }
    }
    return true;
}

} // namespace

bool TStringTable::LoadFile(const TString& name)
{
    TFile file;
    if (!file.Open(name, kFileReadBinary))
    {
        return false;
    }
    // The string files of the data folders are anyone's: one is read whole only up to what the
    // largest document takes, packed or plain.
    int length = file.Length();
    if (length < 0)
    {
        length = 0;
    }
    if (static_cast<uint32_t>(length) > kMaxPackedXmlFileBytes)
    {
        Log("Strings: the string file '%s' was not read: it is larger than %u bytes",
            ShownPath(name).c_str(), kMaxPackedXmlFileBytes);
        return false;
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    int read = file.Read(buffer.data(), length);
    file.Close();
    if (read < 0)
    {
        read = 0;
    }
    if (!LoadBuffer(buffer.data(), static_cast<uint32_t>(read)))
    {
        Log("Strings: the packed string file '%s' could not be read", name.c_str());
        return false;
    }
    return true;
}

bool TStringTable::Reload(const TString& name)
{
    Clear();
    return LoadFile(name);
}

bool TStringTable::LoadBuffer(const char* data, uint32_t size)
{
    if (size >= 4 && std::memcmp(data, "ZXML", 4) == 0)
    {
        std::vector<char> plain;
        if (!UnpackZxml(data, size, plain))
        {
            return false;
        }
        plain.push_back('\0');
        ScanRows(plain.data());
        return true;
    }
    std::string text(data, size);
    ScanRows(text.c_str());
    return true;
}

void TStringTable::ScanRows(const char* text)
{
    // Searched as one view of known length: a search that measures the rest of the text for each
    // row (as the sanitizers' checked searches do) would make a long table quadratic.
    const std::string_view all(text);
    auto find = [&](const char* from) -> const char*
    {
        const size_t at = all.find("<Row", static_cast<size_t>(from - text));
        return at == std::string_view::npos ? nullptr : text + at;
    };
    const char* row = find(text);
    while (row)
    {
        const char* next = find(row + 1);
        TString label;
        const char* labelEnd = nullptr;
        if (ReadDataCell(row + 1, next, label, labelEnd))
        {
            TString value("");
            const char* valueEnd = nullptr;
            if (*labelEnd != '\0')
            {
                ReadDataCell(labelEnd + 1, next, value, valueEnd);
            }
            mStrings[label] = value;
        }
        row = next;
    }
}

TString TStringTable::LookUpRaw(const TString& label) const
{
    auto it = mStrings.find(label);
    return it == mStrings.end() ? TString() : it->second;
}

TString TStringTable::GetString(const TString& label, const TString& a1, const TString& a2,
                                const TString& a3, const TString& a4, const TString& a5) const
{
    auto it = mStrings.find(label);
    if (it == mStrings.end())
    {
        if (!mQuiet && mSaidMissing.insert(label).second)
            Log(" ##### : Missing string for label '%s'", label.c_str());
        return TString(kMissingText);
    }
    const TString* args[5] = {&a1, &a2, &a3, &a4, &a5};
    const TString& source = it->second;
    const char* text = source.c_str();
    int n = source.Length();
    std::string out;
    out.reserve(static_cast<size_t>(n));
    int i = 0;
    while (i < n)
    {
        if (text[i] != '%')
        {
            out += text[i++];
            continue;
        }
        const void* found = std::memchr(text + i + 1, '%', static_cast<size_t>(n - i - 1));
        if (!found)
        {
            if (mSaidUnmatched.insert(label).second)
                Log("Non-matched percent (%%) escape found in string %s, '%s'", label.c_str(),
                    text);
            if (i == n - 1)
            {
                out += '%';
            }
            ++i;
            continue;
        }
        int close = static_cast<int>(static_cast<const char*>(found) - text);
        std::string inner(text + i + 1, static_cast<size_t>(close - i - 1));
        i = close + 1;
        if (inner.empty())
        {
            out += '%';
            continue;
        }
        if (!IsAllDigits(inner))
        {
            out += LookUpRaw(TString(inner.c_str())).c_str();
            continue;
        }
        // Long runs of digits cannot name one of the five arguments.
        int number = inner.size() > 9 ? 0 : std::stoi(inner);
        if (number < 1 || number > 5)
        {
            continue;
        }
        const TString& arg = *args[number - 1];
        int argLength = arg.Length();
        if (arg.CharAt(0) != '%')
        {
            out += arg.c_str();
        }
        else if (argLength == 2 && arg.CharAt(1) == '%')
        {
            out += '%';
        }
        else if (argLength >= 3 && arg.CharAt(argLength - 1) == '%')
        {
            out += LookUpRaw(arg.Substr(1, argLength - 2)).c_str();
        }
    }
    if (IsEnabled("stringtest"))
    {
        for (char& c : out)
        {
            if (c != ' ')
            {
                c = 'x';
            }
        }
    }
    return TString(out.c_str());
}

void TStringTable::ExportFlashStrings(std::vector<TString>& list) const
{
    for (const auto& [label, text] : mStrings)
    {
        if (std::strncmp(label.c_str(), "FLASH_", 6) == 0)
        {
            list.push_back(label);
        }
    }
    for (const auto& [label, text] : mStrings)
    {
        int first = 0;
        int second = 0;
        if (std::sscanf(label.c_str(), "flash%2d_%2d", &first, &second) >= 1)
        {
            list.push_back(label);
        }
    }
}

bool LoadStartupStringTables(TStringTable& table)
{
    bool loaded = table.Reload(TString("strings.xml"));
    for (const char* prefix : {"user:", "common:"})
    {
        std::vector<TString> names;
        TString cursor;
        while (NextFileInFolder(TString(prefix), cursor, false))
        {
            names.push_back(cursor);
        }
        int prefixLength = static_cast<int>(std::strlen(prefix));
        for (const TString& name : names)
        {
            TString file = name.Substr(prefixLength);
            if (std::strncmp(file.c_str(), "string", 6) == 0 && file.Find(TString(".xml")) >= 0)
            {
                table.LoadFile(name);
            }
        }
    }
    return loaded;
}
