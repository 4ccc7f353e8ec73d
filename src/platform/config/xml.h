// TXmlNode: a small, forgiving XML reader (plain text or the "ZXML" packed form) and an indented
// writer, with the character sources the reader pulls bytes from and the entity helpers.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <list>
#include <memory>
#include <vector>

class TFile;

// Elements nested deeper than this are not read: a hostile document must not exhaust the stack.
constexpr int kXmlMaxDepth = 256;
// The most elements and attributes one document may hold together. The largest the game reads
// (a score file of every profile and a full table) holds about a tenth of it; a tree this size
// costs about 12 MB, while 16 MiB of empty elements would cost gigabytes.
constexpr int kXmlMaxNodes = 1 << 16;

// A byte source for the parser. Every source returns bytes as 0..255 and -1 at the end.
class TGetChar
{
public:
    virtual ~TGetChar() = default;
    // Steps back one byte; -1 when nothing can be stepped back.
    virtual int Unget() = 0;
    // The next byte, or -1 at the end (always -1 once the stop flag is set).
    virtual int Get() = 0;
    virtual void Rewind() = 0;

    bool mStop = false;
    int mDepth = 0;
    int mMode = 0;     // 0: parse the whole input (the only mode used)
    bool mEnd = false; // the input ran out inside a tag
    bool mTopClosed = false;
    int mNodes = 0; // elements and attributes read so far
};

// Reads a file opened through the file layer, byte by byte.
class TGetCharFile : public TGetChar
{
public:
    explicit TGetCharFile(const TString& path);
    ~TGetCharFile() override;
    int Unget() override;
    int Get() override;
    void Rewind() override;
    bool Reopen();

    bool IsOpen() const;
    TFile* GetFile() const { return mFile.get(); }

private:
    TString mPath;
    std::unique_ptr<TFile> mFile;
};

// Reads a block of memory of a known length.
class TGetCharString : public TGetChar
{
public:
    TGetCharString(const char* text, uint32_t length) : mText(text), mLength(length) {}
    int Unget() override;
    int Get() override;
    void Rewind() override { mPos = 0; }

private:
    const char* mText;
    uint32_t mPos = 0;
    uint32_t mLength;
};

struct TXmlAttribute
{
    TString mName;
    TString mValue;
    uint8_t mQuoted = 0; // 1 when the value was written between double quotes
};

class TXmlNode
{
public:
    TXmlNode();
    explicit TXmlNode(const char* name);
    virtual ~TXmlNode();
    TXmlNode(const TXmlNode&) = delete;
    TXmlNode& operator=(const TXmlNode&) = delete;

    // Appends a new child element and returns it.
    virtual TXmlNode* AddChild(const char* name);
    virtual void CloseTag(const char* token);
    // Appends a word of content: a single space first when the text is not empty.
    virtual void AppendText(const char* token, int length);
    virtual void AddAttribute(const char* name, const char* value, bool quoted);

    // Parses a document read through the file layer into this node's children. A file that does
    // not open gives an empty tree. A document larger than kMaxUnpackedXmlBytes or holding more
    // than kXmlMaxNodes elements and attributes is refused with a log line, as a damaged packed
    // one is: nothing of it is added, and the answer is false.
    bool ParseFile(const TString& name);
    // Parses a NUL-terminated document in memory; "ZXML" at its start marks the packed form, whose
    // block must then hold the whole packed stream. Refused as ParseFile refuses.
    bool ParseString(const char* text);
    // Parses a document of exactly size bytes (plain or packed); never reads outside the block.
    // Refused as ParseFile refuses.
    bool ParseBuffer(const char* data, uint32_t size);

    TXmlNode* FindChild(const char* name) const;
    void ResetChildCursor();
    bool GetNextChild(TString& name, TXmlNode*& node);
    void ResetAttributeCursor();
    bool GetNextAttribute(TString& name, TString& value);
    TString GetAttribute(const char* name, bool* quoted = nullptr) const;
    void SetAttribute(const char* name, const char* value);
    void SetAttribute(const char* name, int value);

    TString GetText() const { return mText; }
    const TString& GetName() const { return mName; }
    bool HasChildren() const { return !mChildren.empty(); }
    int GetChildCount() const { return static_cast<int>(mChildren.size()); }
    int GetAttributeCount() const { return static_cast<int>(mAttributes.size()); }

    // The node and its subtree as indented XML text.
    TString ToString();

private:
    // `file` names the document in the line that refuses it (null: a block of memory).
    bool ParseSource(TGetChar& source, const TString* file);
    void WriteNode(TString& out, int indent) const;

    TString mText;
    int32_t mTextLength = 0;
    // What Length() of the text answers, kept so that appending never measures it.
    int32_t mTextEnd = 0;
    int32_t mReserveHint = 4096;
    TString mName;
    std::list<std::unique_ptr<TXmlNode>> mChildren;
    std::list<std::unique_ptr<TXmlNode>>::iterator mChildCursor;
    std::list<std::unique_ptr<TXmlAttribute>> mAttributes;
    std::list<std::unique_ptr<TXmlAttribute>>::iterator mAttributeCursor;
};

// Escapes a text for writing: control bytes and every byte from 0x80 as "&#n;", the five special
// bytes as their named references.
TString EscapeXml(const TString& text);
// Decodes entity references in the first length bytes of text, in place; length becomes the new
// byte count. firstIsReference (when given) tells whether the first byte came from a reference.
void UnescapeXml(TString& text, int& length, bool* firstIsReference);

// The most a document holds, plain or unpacked, as the preferences and score files are refused past
// the same size: a packed stream of a few megabytes can inflate to gigabytes within any ratio
// bound, and a plain file is anyone's.
constexpr uint32_t kMaxUnpackedXmlBytes = 16u << 20;
// The most a packed document file is read whole: its header and a stream of the largest document
// at zlib's worst (its compressBound).
constexpr uint32_t kMaxPackedXmlFileBytes = kMaxUnpackedXmlBytes + (kMaxUnpackedXmlBytes >> 12) +
                                            (kMaxUnpackedXmlBytes >> 14) +
                                            (kMaxUnpackedXmlBytes >> 25) + 13 + 12;

// Inflates a "ZXML" block ("ZXML", u32 packed length, u32 plain length, zlib stream) of size bytes
// into plain. The packed length is clamped to the bytes present; a stream that inflates to more or
// fewer bytes than the plain length is damage, and a plain length past kMaxUnpackedXmlBytes is
// refused. False (and a log line) on any damage, with plain left empty; the memory taken follows
// what the stream gives, never the header's claim alone.
bool UnpackZxml(const char* data, uint32_t size, std::vector<char>& plain);
