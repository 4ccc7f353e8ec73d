// The XML reader (tokens, tags, content, entities, the "ZXML" packed form) and the indented writer.
#include "platform/config/xml.h"

#include "platform/files/file.h"
#include "platform/log.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <string>
#include <zlib.h>

namespace
{

// The largest ratio a deflate stream can reach; a plain length beyond it is a lie.
constexpr uint64_t kMaxInflateRatio = 1032;
// The least room first given to a packed stream's text.
constexpr uint64_t kFirstInflateRoom = 64 << 10;
// How a refusal names a document: the file as the player finds it, or the block of memory.
std::string DocumentName(const TString* file)
{
    return file ? "'" + std::string(ShownPath(*file).c_str()) + "'" : "a document in memory";
}

bool IsXmlSpace(int c)
{
    return c == 0x20 || (c >= 0x09 && c <= 0x0D);
}

bool IsDelimiter(int c)
{
    return c == '<' || c == '>' || c == '=';
}

uint32_t ReadU32(const char* p)
{
    const auto* b = reinterpret_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// One character: a byte, and for a UTF-8 lead byte the sequence bytes behind it, which are copied
// into tokens as they are.
struct TXmlChar
{
    int mLead = -1;
    char mBytes[4] = {};
    int mCount = 0;
};

TXmlChar ReadChar(TGetChar& source)
{
    TXmlChar ch;
    ch.mLead = source.Get();
    if (ch.mLead < 0)
    {
        return ch;
    }
    ch.mBytes[ch.mCount++] = static_cast<char>(ch.mLead);
    int more = 0;
    if (ch.mLead >= 0xF0)
    {
        more = 3;
    }
    else if (ch.mLead >= 0xE0)
    {
        more = 2;
    }
    else if (ch.mLead >= 0xC0)
    {
        more = 1;
    }
    for (int i = 0; i < more; ++i)
    {
        int b = source.Get();
        if (b < 0)
        {
            break;
        }
        ch.mBytes[ch.mCount++] = static_cast<char>(b);
    }
    return ch;
}

struct TXmlToken
{
    TString mText;
    int mLength = 0;
    bool mQuoted = false;
    bool mReferenceFirst = false;

    bool IsEnd() const { return mLength == 0 && !mQuoted; }
    // A one-byte delimiter or slash that did not come from an entity reference.
    bool Is(char c) const { return mLength == 1 && !mReferenceFirst && mText.CharAt(0) == c; }
};

TXmlToken GetToken(TGetChar& source)
{
    TXmlToken token;
    TXmlChar ch;
    do
    {
        ch = ReadChar(source);
    } while (ch.mLead >= 0 && ch.mLead < 0x80 && IsXmlSpace(ch.mLead));
    if (ch.mLead < 0)
    {
        return token;
    }
    std::string bytes;
    if (IsDelimiter(ch.mLead))
    {
        bytes.assign(1, static_cast<char>(ch.mLead));
    }
    else if (ch.mLead == '"')
    {
        token.mQuoted = true;
        for (;;)
        {
            ch = ReadChar(source);
            if (ch.mLead < 0 || ch.mLead == '"')
            {
                break;
            }
            bytes.append(ch.mBytes, ch.mCount);
        }
    }
    else
    {
        bytes.append(ch.mBytes, ch.mCount);
        for (;;)
        {
            ch = ReadChar(source);
            if (ch.mLead < 0)
            {
                break;
            }
            if ((ch.mLead < 0x80 && IsXmlSpace(ch.mLead)) || IsDelimiter(ch.mLead))
            {
                source.Unget();
                // "a/>" is the word "a" and then the word "/": the end of a self-closing tag.
                if (ch.mLead == '>' && bytes.size() > 1 && bytes.back() == '/')
                {
                    source.Unget();
                    bytes.pop_back();
                }
                break;
            }
            bytes.append(ch.mBytes, ch.mCount);
        }
    }
    // A NUL byte cannot live inside a string: the word ends there.
    size_t nul = bytes.find('\0');
    if (nul != std::string::npos)
    {
        bytes.resize(nul);
    }
    token.mText = TString(bytes.data(), static_cast<unsigned>(bytes.size()));
    token.mLength = static_cast<int>(bytes.size());
    UnescapeXml(token.mText, token.mLength, &token.mReferenceFirst);
    return token;
}

// Reads one tag after its "<". Returns the new element whose content the caller parses next, or
// null (closing tags, self-closing elements, declarations and comments).
TXmlNode* ParseTag(TXmlNode& node, TGetChar& source, bool& closing)
{
    enum
    {
        kName,
        kAttribute,
        kValue
    } state = kName;
    TXmlNode* child = nullptr;
    bool special = false;
    TString pending;
    for (;;)
    {
        TXmlToken token = GetToken(source);
        if (token.IsEnd() && !(token.mQuoted && state == kValue))
        {
            source.mEnd = true;
            return special ? nullptr : child;
        }
        if (token.Is('>'))
        {
            char first = pending.CharAt(0);
            if (first == '/' || first == '?' || special)
            {
                return nullptr;
            }
            return child;
        }
        switch (state)
        {
        case kName:
            if (token.mLength > 0 && token.mText.CharAt(0) == '/' && !token.mReferenceFirst)
            {
                // Any closing tag ends the innermost open element; its name is not compared.
                closing = true;
            }
            else
            {
                // Past the budget the source ends: what was built is thrown away by the caller.
                if (++source.mNodes > kXmlMaxNodes)
                {
                    source.mStop = true;
                    return nullptr;
                }
                const char* name = token.mText.c_str();
                child = node.AddChild(name);
                special = std::strcmp(name, "?xml") == 0 || std::strcmp(name, "!DOCTYPE") == 0 ||
                          std::strncmp(name, "!--", 3) == 0;
            }
            state = kAttribute;
            break;
        case kAttribute:
            if (token.Is('='))
            {
                state = kValue;
            }
            else
            {
                pending = token.mText;
            }
            break;
        case kValue:
            if (child)
            {
                if (++source.mNodes > kXmlMaxNodes)
                {
                    source.mStop = true;
                    return nullptr;
                }
                child->AddAttribute(pending.c_str(), token.mText.c_str(), token.mQuoted);
            }
            pending = TString();
            state = kAttribute;
            break;
        }
    }
}

void ParseContent(TXmlNode& node, TGetChar& source)
{
    for (;;)
    {
        TXmlToken token = GetToken(source);
        if (token.IsEnd())
        {
            return;
        }
        if (token.Is('<'))
        {
            bool closing = false;
            TXmlNode* child = ParseTag(node, source, closing);
            if (child)
            {
                if (source.mDepth >= kXmlMaxDepth)
                {
                    Log("XML: elements nested deeper than %d levels; the rest of the document is "
                        "ignored",
                        kXmlMaxDepth);
                    source.mStop = true;
                    return;
                }
                ++source.mDepth;
                ParseContent(*child, source);
                --source.mDepth;
            }
            if (closing)
            {
                return;
            }
            continue;
        }
        node.AppendText(token.mText.c_str(), token.mLength);
    }
}

void AppendSpaces(std::string& out, int count)
{
    out.append(static_cast<size_t>(count), ' ');
}

} // namespace

// ---- Character sources ----

TGetCharFile::TGetCharFile(const TString& path) : mPath(path)
{
    Reopen();
}

TGetCharFile::~TGetCharFile() = default;

bool TGetCharFile::Reopen()
{
    if (mFile)
    {
        mFile->Close();
    }
    else
    {
        mFile = std::make_unique<TFile>();
    }
    return mFile->Open(mPath, kFileReadBinary);
}

bool TGetCharFile::IsOpen() const
{
    return mFile && mFile->IsOpen();
}

int TGetCharFile::Get()
{
    if (mStop || !IsOpen())
    {
        return -1;
    }
    return FileGetc(mFile.get());
}

int TGetCharFile::Unget()
{
    if (!IsOpen() || mFile->Tell() <= 0)
    {
        return -1;
    }
    mFile->Seek(-1, kSeekCurrent);
    return 0;
}

void TGetCharFile::Rewind()
{
    if (IsOpen())
    {
        mFile->Seek(0, kSeekStart);
    }
}

int TGetCharString::Get()
{
    if (mStop || mPos >= mLength)
    {
        return -1;
    }
    // Bytes come back as 0..255 so that 0xFF is ordinary content and UTF-8 lead bytes are seen.
    return static_cast<uint8_t>(mText[mPos++]);
}

int TGetCharString::Unget()
{
    if (mPos == 0)
    {
        return -1;
    }
    --mPos;
    return 0;
}

// ---- Node ----

TXmlNode::TXmlNode() : mChildCursor(mChildren.end()), mAttributeCursor(mAttributes.end()) {}

TXmlNode::TXmlNode(const char* name) : TXmlNode()
{
    mName = name;
}

TXmlNode::~TXmlNode()
{
    mChildren.clear();
    mAttributes.clear();
}

TXmlNode* TXmlNode::AddChild(const char* name)
{
    mChildren.push_back(std::make_unique<TXmlNode>(name));
    return mChildren.back().get();
}

void TXmlNode::CloseTag(const char*) {}

void TXmlNode::AppendText(const char* token, int length)
{
    // The measured length is kept beside the written one (they differ only after a word holding
    // a zero byte), so that a long text is not measured again at each word.
    auto write = [this](const char* bytes, int n)
    {
        const int at = std::min(mTextLength, mTextEnd);
        mTextLength = mText.WriteAt(at, bytes, n, true, mTextEnd);
        mTextEnd = at + static_cast<int32_t>(strnlen(bytes, static_cast<size_t>(std::max(n, 0))));
    };
    if (mTextLength != 0)
        write(" ", 1);
    write(token, length);
}

void TXmlNode::AddAttribute(const char* name, const char* value, bool quoted)
{
    auto attribute = std::make_unique<TXmlAttribute>();
    attribute->mName = name;
    attribute->mValue = value;
    attribute->mQuoted = quoted ? 1 : 0;
    mAttributes.push_back(std::move(attribute));
}

bool TXmlNode::ParseSource(TGetChar& source, const TString* file)
{
    // Kept to be put back when the document is refused: a refused one adds nothing.
    const size_t children = mChildren.size();
    const TString text = mText;
    const int32_t textLength = mTextLength;
    const int32_t textEnd = mTextEnd;
    ParseContent(*this, source);
    if (source.mNodes <= kXmlMaxNodes)
    {
        return true;
    }
    Log("XML: %s was not read: it holds more than the %d elements and attributes a document may "
        "hold",
        DocumentName(file).c_str(), kXmlMaxNodes);
    mChildren.erase(std::next(mChildren.begin(), static_cast<std::ptrdiff_t>(children)),
                    mChildren.end());
    mChildCursor = mChildren.end();
    mText = text;
    mTextLength = textLength;
    mTextEnd = textEnd;
    return false;
}

bool TXmlNode::ParseFile(const TString& name)
{
    TGetCharFile source(name);
    char head[4] = {};
    int got = 0;
    while (got < 4)
    {
        int c = source.Get();
        if (c < 0)
        {
            break;
        }
        head[got++] = static_cast<char>(c);
    }
    if (got == 4 && std::memcmp(head, "ZXML", 4) == 0)
    {
        source.Reopen();
        TFile* file = source.GetFile();
        file->Seek(0, kSeekStart);
        int length = file->Length();
        if (length <= 0)
        {
            return true;
        }
        // Read whole before it is unpacked: a file no document of the largest size packs to is
        // refused unread.
        if (static_cast<uint32_t>(length) > kMaxPackedXmlFileBytes)
        {
            Log("ZXML: %s was not read: it is larger than the %u bytes a packed document takes",
                DocumentName(&name).c_str(), kMaxPackedXmlFileBytes);
            return false;
        }
        std::vector<char> packed(static_cast<size_t>(length));
        int read = file->Read(packed.data(), length);
        std::vector<char> plain;
        if (read > 0 && UnpackZxml(packed.data(), static_cast<uint32_t>(read), plain))
        {
            TGetCharString memory(plain.data(), static_cast<uint32_t>(plain.size()));
            return ParseSource(memory, &name);
        }
        return false;
    }
    // A plain document is read a byte at a time into a tree: past the size a packed one may
    // unpack to, it is refused unread.
    if (source.IsOpen())
    {
        const int length = source.GetFile()->Length();
        if (length < 0 || static_cast<uint32_t>(length) > kMaxUnpackedXmlBytes)
        {
            Log("XML: %s was not read: it is larger than the %u bytes a document may hold",
                DocumentName(&name).c_str(), kMaxUnpackedXmlBytes);
            return false;
        }
    }
    source.Rewind();
    return ParseSource(source, &name);
}

bool TXmlNode::ParseString(const char* text)
{
    if (!text)
    {
        return true;
    }
    if (std::strncmp(text, "ZXML", 4) == 0)
    {
        // A NUL-terminated text cannot tell the size of a binary block: the caller vouches for the
        // header's packed length.
        uint32_t packed = ReadU32(text + 4);
        return ParseBuffer(text, packed > 0xFFFFFFFFu - 12 ? 0xFFFFFFFFu : packed + 12);
    }
    const size_t length = strnlen(text, size_t(kMaxUnpackedXmlBytes) + 1);
    return ParseBuffer(text, static_cast<uint32_t>(length));
}

bool TXmlNode::ParseBuffer(const char* data, uint32_t size)
{
    if (!data)
    {
        return true;
    }
    if (size >= 4 && std::memcmp(data, "ZXML", 4) == 0)
    {
        std::vector<char> plain;
        if (!UnpackZxml(data, size, plain))
        {
            return false;
        }
        TGetCharString source(plain.data(), static_cast<uint32_t>(plain.size()));
        return ParseSource(source, nullptr);
    }
    if (size > kMaxUnpackedXmlBytes)
    {
        Log("XML: %s was not read: it is larger than the %u bytes a document may hold",
            DocumentName(nullptr).c_str(), kMaxUnpackedXmlBytes);
        return false;
    }
    TGetCharString source(data, size);
    return ParseSource(source, nullptr);
}

TXmlNode* TXmlNode::FindChild(const char* name) const
{
    for (const auto& child : mChildren)
    {
        if (std::strcmp(child->mName.c_str(), name) == 0)
        {
            return child.get();
        }
    }
    return nullptr;
}

void TXmlNode::ResetChildCursor()
{
    mChildCursor = mChildren.begin();
}

bool TXmlNode::GetNextChild(TString& name, TXmlNode*& node)
{
    if (mChildCursor == mChildren.end())
    {
        return false;
    }
    node = mChildCursor->get();
    name = node->mName;
    ++mChildCursor;
    return true;
}

void TXmlNode::ResetAttributeCursor()
{
    mAttributeCursor = mAttributes.begin();
}

bool TXmlNode::GetNextAttribute(TString& name, TString& value)
{
    if (mAttributeCursor == mAttributes.end())
    {
        return false;
    }
    name = (*mAttributeCursor)->mName;
    value = (*mAttributeCursor)->mValue;
    ++mAttributeCursor;
    return true;
}

TString TXmlNode::GetAttribute(const char* name, bool* quoted) const
{
    for (const auto& attribute : mAttributes)
    {
        if (std::strcmp(attribute->mName.c_str(), name) == 0)
        {
            if (quoted)
            {
                *quoted = attribute->mQuoted != 0;
            }
            return attribute->mValue;
        }
    }
    return TString();
}

void TXmlNode::SetAttribute(const char* name, const char* value)
{
    for (auto& attribute : mAttributes)
    {
        if (std::strcmp(attribute->mName.c_str(), name) == 0)
        {
            attribute->mValue = value;
            return;
        }
    }
    AddAttribute(name, value, true);
}

void TXmlNode::SetAttribute(const char* name, int value)
{
    SetAttribute(name, TString::Format("%d", value).c_str());
}

TString TXmlNode::ToString()
{
    TString out;
    out.Reserve(static_cast<unsigned>(mReserveHint));
    WriteNode(out, 0);
    int length = out.Length();
    if (length + 1 > mReserveHint)
    {
        mReserveHint = length + 1;
    }
    return out;
}

void TXmlNode::WriteNode(TString& out, int indent) const
{
    std::string text;
    AppendSpaces(text, indent);
    text += '<';
    text += mName.c_str();
    for (const auto& attribute : mAttributes)
    {
        text += '\n';
        AppendSpaces(text, indent + 4);
        text += EscapeXml(attribute->mName).c_str();
        text += '=';
        if (attribute->mQuoted)
        {
            text += '"';
        }
        text += EscapeXml(attribute->mValue).c_str();
        if (attribute->mQuoted)
        {
            text += '"';
        }
    }
    text += ">\n";
    if (mText.Length() != 0)
    {
        AppendSpaces(text, indent);
        text += EscapeXml(mText).c_str();
        text += '\n';
    }
    out.Append(text.data(), static_cast<int>(text.size()));
    for (const auto& child : mChildren)
    {
        child->WriteNode(out, indent + 4);
    }
    text.clear();
    AppendSpaces(text, indent);
    text += "</";
    text += EscapeXml(mName).c_str();
    text += ">\n";
    out.Append(text.data(), static_cast<int>(text.size()));
}

// ---- Entities ----

TString EscapeXml(const TString& text)
{
    std::string out;
    int length = text.Length();
    out.reserve(static_cast<size_t>(length) * 2);
    const char* p = text.c_str();
    for (int i = 0; i < length; ++i)
    {
        auto c = static_cast<signed char>(p[i]);
        switch (c)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (c < 32)
            {
                out += "&#";
                out += std::to_string(static_cast<unsigned>(static_cast<uint8_t>(c)));
                out += ';';
            }
            else
            {
                out += static_cast<char>(c);
            }
            break;
        }
    }
    return TString(out.c_str());
}

void UnescapeXml(TString& text, int& length, bool* firstIsReference)
{
    static const struct
    {
        const char* mName;
        char mByte;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};

    if (firstIsReference)
    {
        *firstIsReference = false;
    }
    const char* p = text.c_str();
    int n = length < 0 ? 0 : std::min(length, text.Length());
    length = n;
    if (std::memchr(p, '&', static_cast<size_t>(n)) == nullptr)
    {
        return;
    }
    std::string out;
    out.reserve(static_cast<size_t>(n));
    int i = 0;
    while (i < n)
    {
        if (p[i] != '&')
        {
            out += p[i++];
            continue;
        }
        bool decoded = false;
        for (const auto& named : kNamed)
        {
            int len = static_cast<int>(std::strlen(named.mName));
            if (i + len <= n && std::memcmp(p + i, named.mName, static_cast<size_t>(len)) == 0)
            {
                if (i == 0 && firstIsReference)
                {
                    *firstIsReference = true;
                }
                out += named.mByte;
                i += len;
                decoded = true;
                break;
            }
        }
        if (!decoded && i + 2 < n && p[i + 1] == '#' && p[i + 2] >= '0' && p[i + 2] <= '9')
        {
            const void* semi = std::memchr(p + i + 2, ';', static_cast<size_t>(n - i - 2));
            if (semi)
            {
                unsigned value = 0;
                for (int j = i + 2; j < n && p[j] >= '0' && p[j] <= '9'; ++j)
                {
                    value = (value * 10 + static_cast<unsigned>(p[j] - '0')) & 0xFFFFu;
                }
                if (i == 0 && firstIsReference)
                {
                    *firstIsReference = true;
                }
                // A reference to byte 0 would end the string; it is dropped.
                if ((value & 0xFF) != 0)
                {
                    out += static_cast<char>(value & 0xFF);
                }
                i = static_cast<int>(static_cast<const char*>(semi) - p) + 1;
                decoded = true;
            }
        }
        if (!decoded)
        {
            out += p[i++];
        }
    }
    text = TString(out.data(), static_cast<unsigned>(out.size()));
    length = static_cast<int>(out.size());
}

// ---- Packed form ----

bool UnpackZxml(const char* data, uint32_t size, std::vector<char>& plain)
{
    plain.clear();
    if (!data || size < 12 || std::memcmp(data, "ZXML", 4) != 0)
    {
        Log("ZXML: the block is too short or has no ZXML header");
        return false;
    }
    uint32_t packed = ReadU32(data + 4);
    uint32_t plainLength = ReadU32(data + 8);
    if (packed > size - 12)
    {
        packed = size - 12;
    }
    if (plainLength > kMaxUnpackedXmlBytes)
    {
        Log("ZXML: the plain length %u is more than the %u bytes a document may unpack to",
            plainLength, kMaxUnpackedXmlBytes);
        return false;
    }
    if (plainLength == 0 || plainLength > uint64_t(packed) * kMaxInflateRatio + 64)
    {
        Log("ZXML: the plain length %u does not fit a packed stream of %u bytes", plainLength,
            packed);
        return false;
    }
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
    {
        Log("ZXML: the packed stream cannot be inflated (no memory)");
        return false;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data + 12));
    stream.avail_in = packed;
    // The header's plain length is a claim, not a size to allocate: the room grows with what the
    // stream gives, up to the claim, and a byte beyond it is asked for to see the claim not passed.
    plain.resize(std::min<uint64_t>(plainLength,
                                    std::max<uint64_t>(kFirstInflateRoom, uint64_t(packed) * 4)));
    Bytef beyond = 0;
    bool longer = false;
    int result = Z_OK;
    while (result == Z_OK)
    {
        const size_t done = stream.total_out;
        if (done == plain.size() && plain.size() < plainLength)
        {
            plain.resize(std::min<uint64_t>(plainLength, uint64_t(plain.size()) * 2));
        }
        const bool full = done == plain.size();
        stream.next_out = full ? &beyond : reinterpret_cast<Bytef*>(plain.data() + done);
        stream.avail_out = full ? 1 : static_cast<uInt>(plain.size() - done);
        result = inflate(&stream, Z_NO_FLUSH);
        if (full && stream.avail_out == 0)
        {
            longer = true;
            break;
        }
    }
    const uint64_t produced = stream.total_out;
    inflateEnd(&stream);
    if (longer)
    {
        Log("ZXML: the packed stream holds more than the %u bytes its header gives", plainLength);
    }
    else if (result == Z_BUF_ERROR)
    {
        Log("ZXML: the packed stream is cut short after %llu of the %u bytes its header gives",
            static_cast<unsigned long long>(produced), plainLength);
    }
    else if (result != Z_STREAM_END)
    {
        Log("ZXML: the packed stream does not inflate (zlib error %d)", result);
    }
    else if (produced != plainLength)
    {
        Log("ZXML: the packed stream holds %llu bytes, not the %u its header gives",
            static_cast<unsigned long long>(produced), plainLength);
    }
    else
    {
        return true;
    }
    plain.clear();
    return false;
}
