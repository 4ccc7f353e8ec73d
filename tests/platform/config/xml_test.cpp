// Tests of the XML reader and writer: tokens, tags, content, entities, the packed form, damage.
#include "platform/config/xml.h"

#include "platform/files/file_layer.h"
#include "support/file_layer_fixture.h"
#include "support/files.h"
#include "platform/zxml_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

using zxmltest::Pack;

std::vector<std::string> ChildNames(TXmlNode& node)
{
    std::vector<std::string> names;
    TString name;
    TXmlNode* child = nullptr;
    node.ResetChildCursor();
    while (node.GetNextChild(name, child))
    {
        names.emplace_back(name.c_str());
    }
    return names;
}

} // namespace

TEST(XmlReader, AttributesQuotedAndUnquotedAndNormalisedText)
{
    TXmlNode doc;
    doc.ParseString("<a x=\"1\" y=2>hello   big  world</a>");
    TXmlNode* a = doc.FindChild("a");
    ASSERT_NE(a, nullptr);
    bool quoted = false;
    EXPECT_STREQ(a->GetAttribute("x", &quoted).c_str(), "1");
    EXPECT_TRUE(quoted);
    EXPECT_STREQ(a->GetAttribute("y", &quoted).c_str(), "2");
    EXPECT_FALSE(quoted);
    EXPECT_STREQ(a->GetText().c_str(), "hello big world");
}

TEST(XmlReader, SelfClosingChildAndTextChild)
{
    TXmlNode doc;
    doc.ParseString("<r><a/><b>t</b></r>");
    TXmlNode* r = doc.FindChild("r");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(ChildNames(*r), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(r->FindChild("a")->HasChildren());
    EXPECT_STREQ(r->FindChild("a")->GetText().c_str(), "");
    EXPECT_STREQ(r->FindChild("b")->GetText().c_str(), "t");
}

TEST(XmlReader, DeclarationIsAChildlessPseudoElement)
{
    TXmlNode doc;
    doc.ParseString("<?xml version=\"1.0\"?>\n<r/>");
    EXPECT_EQ(ChildNames(doc), (std::vector<std::string>{"?xml", "r"}));
    EXPECT_STREQ(doc.FindChild("?xml")->GetAttribute("version").c_str(), "1.0");
    EXPECT_STREQ(doc.GetName().c_str(), "");
}

TEST(XmlReader, ReferencesAreNeverDelimiters)
{
    TXmlNode doc;
    doc.ParseString("<a>&lt;b&gt; &#65;</a><c>&lt;</c>");
    EXPECT_STREQ(doc.FindChild("a")->GetText().c_str(), "<b> A");
    TXmlNode* c = doc.FindChild("c");
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->GetText().c_str(), "<");
    EXPECT_FALSE(c->HasChildren());
}

TEST(XmlReader, QuotedRunsKeepInnerSpacesAndLoseQuotes)
{
    TXmlNode doc;
    doc.ParseString("<a>say \"a  b\"</a>");
    EXPECT_STREQ(doc.FindChild("a")->GetText().c_str(), "say a  b");
}

TEST(XmlReader, TextOnBothSidesOfAChildIsJoined)
{
    TXmlNode doc;
    doc.ParseString("<a> one <b/> two </a>");
    EXPECT_STREQ(doc.FindChild("a")->GetText().c_str(), "one two");
}

// Ten megabytes of words in one element: each word joins the text without the text being
// measured again (quadratic, this never finished). A word holding a zero byte ends what the text
// shows, as before, and the next word goes on from there.
TEST(XmlReader, LongTextIsJoinedWordByWord)
{
    std::string document = "<a>";
    const std::string word = "word ";
    const size_t words = (10u << 20) / word.size();
    for (size_t i = 0; i < words; ++i)
        document += word;
    document += "end</a>";
    TXmlNode doc;
    doc.ParseBuffer(document.data(), static_cast<uint32_t>(document.size()));
    const TString text = doc.FindChild("a")->GetText();
    ASSERT_EQ(static_cast<size_t>(text.Length()), words * word.size() + 3);
    EXPECT_EQ(std::string(text.c_str() + text.Length() - 8), "word end");

    TXmlNode node("n");
    node.AppendText("ab\0cd", 5);
    EXPECT_STREQ(node.GetText().c_str(), "ab");
    node.AppendText("ef", 2);
    EXPECT_STREQ(node.GetText().c_str(), "ab ef");
    TXmlNode led("n");
    led.AppendText("\0x", 2);
    led.AppendText("y", 1);
    EXPECT_STREQ(led.GetText().c_str(), " y");
}

TEST(XmlReader, CommentsAndDoctypeArePseudoElements)
{
    TXmlNode doc;
    doc.ParseString("<!DOCTYPE html><!-- a comment --><!--x--><r>t</r>");
    EXPECT_EQ(ChildNames(doc), (std::vector<std::string>{"!DOCTYPE", "!--", "!--x--", "r"}));
    EXPECT_STREQ(doc.FindChild("r")->GetText().c_str(), "t");
}

TEST(XmlReader, AttributeWithoutValueIsDroppedAndSlashRules)
{
    TXmlNode doc;
    doc.ParseString("<a b c=1/><d e=\"\"/>");
    TXmlNode* a = doc.FindChild("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetAttributeCount(), 1);
    EXPECT_STREQ(a->GetAttribute("c").c_str(), "1");
    TXmlNode* d = doc.FindChild("d");
    ASSERT_NE(d, nullptr);
    bool quoted = false;
    EXPECT_EQ(d->GetAttributeCount(), 1);
    EXPECT_STREQ(d->GetAttribute("e", &quoted).c_str(), "");
    EXPECT_TRUE(quoted);
    EXPECT_EQ(ChildNames(doc), (std::vector<std::string>{"a", "d"}));
}

TEST(XmlReader, AnyClosingTagClosesTheInnermostElement)
{
    TXmlNode doc;
    doc.ParseString("<a><b>x</c>y</a><d/>");
    TXmlNode* a = doc.FindChild("a");
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->FindChild("b")->GetText().c_str(), "x");
    EXPECT_STREQ(a->GetText().c_str(), "y");
    EXPECT_NE(doc.FindChild("d"), nullptr);
}

TEST(XmlReader, InputEndingInsideATagKeepsWhatWasBuilt)
{
    TXmlNode doc;
    doc.ParseString("<a>text<b x=\"1\" y");
    TXmlNode* a = doc.FindChild("a");
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->GetText().c_str(), "text");
    TXmlNode* b = a->FindChild("b");
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->GetAttribute("x").c_str(), "1");

    TXmlNode other;
    other.ParseBuffer("<a q=\"unterminated", 17);
    EXPECT_NE(other.FindChild("a"), nullptr);
}

TEST(XmlReader, ByteFFFromMemoryIsOrdinaryContent)
{
    TXmlNode doc;
    doc.ParseString("<a>x\xFF"
                    "abc def</a><b/>");
    TXmlNode* a = doc.FindChild("a");
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->GetText().c_str(), "x\xFF"
                                       "abc def");
    EXPECT_NE(doc.FindChild("b"), nullptr);

    TGetCharString source("\xFF", 1);
    EXPECT_EQ(source.Get(), 0xFF);
    EXPECT_EQ(source.Get(), -1);
    EXPECT_EQ(source.Unget(), 0);
    EXPECT_EQ(source.Get(), 0xFF);
}

TEST(XmlReader, Utf8SequencesAreCopiedWhole)
{
    // The lead byte pulls its sequence, so a continuation byte is never taken for a delimiter.
    TXmlNode doc;
    doc.ParseString("<a n=\"caf\xC3\xA9\">\xE2\x82\xAC 5</a>");
    TXmlNode* a = doc.FindChild("a");
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->GetAttribute("n").c_str(), "caf\xC3\xA9");
    EXPECT_STREQ(a->GetText().c_str(), "\xE2\x82\xAC 5");
}

TEST(XmlReader, DeepNestingIsCappedWithoutCrashing)
{
    std::string text;
    for (int i = 0; i < 5000; ++i)
    {
        text += "<a>";
    }
    TXmlNode doc;
    doc.ParseString(text.c_str());
    int depth = 0;
    TXmlNode* node = doc.FindChild("a");
    while (node)
    {
        ++depth;
        node = node->FindChild("a");
    }
    EXPECT_EQ(depth, kXmlMaxDepth + 1);
}

TEST(XmlReader, EmptyAndNullInputsGiveEmptyTrees)
{
    TXmlNode doc;
    doc.ParseString("");
    doc.ParseString(nullptr);
    doc.ParseBuffer(nullptr, 10);
    doc.ParseString("   \n\t ");
    EXPECT_FALSE(doc.HasChildren());
    EXPECT_STREQ(doc.GetText().c_str(), "");
}

TEST(XmlReader, CursorsWalkInDocumentOrder)
{
    TXmlNode doc;
    doc.ParseString("<a k1=1 k2=\"2\" k1=3><x/><y/></a>");
    TXmlNode* a = doc.FindChild("a");
    ASSERT_NE(a, nullptr);
    TString name;
    TString value;
    std::vector<std::string> seen;
    a->ResetAttributeCursor();
    while (a->GetNextAttribute(name, value))
    {
        seen.push_back(std::string(name.c_str()) + "=" + value.c_str());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"k1=1", "k2=2", "k1=3"}));
    EXPECT_STREQ(a->GetAttribute("k1").c_str(), "1");
    EXPECT_EQ(ChildNames(*a), (std::vector<std::string>{"x", "y"}));
    TXmlNode* child = nullptr;
    EXPECT_FALSE(a->GetNextChild(name, child));
}

TEST(XmlEntities, UnescapeRules)
{
    auto unescape = [](const char* in, bool* first = nullptr)
    {
        TString text(in);
        int length = text.Length();
        UnescapeXml(text, length, first);
        EXPECT_EQ(length, text.Length());
        return std::string(text.c_str());
    };
    EXPECT_EQ(unescape("&amp;&lt;&gt;&quot;&apos;"), "&<>\"'");
    EXPECT_EQ(unescape("&#65;&#321;"), "AA"); // taken modulo 256
    EXPECT_EQ(unescape("&#65xyz;b"), "Ab");   // everything up to the semicolon is dropped
    EXPECT_EQ(unescape("&#65"), "&#65");      // no semicolon: the ampersand stays
    EXPECT_EQ(unescape("a&b; &foo;"), "a&b; &foo;");
    EXPECT_EQ(unescape("&#0;x"), "x"); // byte 0 cannot live in a string
    bool first = false;
    unescape("&lt;", &first);
    EXPECT_TRUE(first);
    unescape("x&lt;", &first);
    EXPECT_FALSE(first);
}

TEST(XmlEntities, EscapeWritesBytesFromHighAndControlAsNumbers)
{
    EXPECT_STREQ(EscapeXml(TString("a&<>\"'b")).c_str(), "a&amp;&lt;&gt;&quot;&apos;b");
    EXPECT_STREQ(EscapeXml(TString("caf\xC3\xA9")).c_str(), "caf&#195;&#169;");
    EXPECT_STREQ(EscapeXml(TString("\t\x1F ")).c_str(), "&#9;&#31; ");

    TString text("caf\xC3\xA9 \x01&x");
    TString escaped = EscapeXml(text);
    int length = escaped.Length();
    UnescapeXml(escaped, length, nullptr);
    EXPECT_STREQ(escaped.c_str(), text.c_str());
}

TEST(XmlWriter, ExactOutputOfNodeWithAttributeAndText)
{
    TXmlNode r("r");
    r.SetAttribute("k", "v");
    r.AppendText("x&y", 3);
    EXPECT_STREQ(r.ToString().c_str(), "<r\n    k=\"v\">\nx&amp;y\n</r>\n");
}

TEST(XmlWriter, IndentsChildrenAndWritesUnquotedValuesBare)
{
    TXmlNode doc;
    doc.ParseString("<top a=1><mid b=\"2\">m<leaf/></mid></top>");
    TXmlNode* top = doc.FindChild("top");
    ASSERT_NE(top, nullptr);
    EXPECT_STREQ(top->ToString().c_str(), "<top\n"
                                          "    a=1>\n"
                                          "    <mid\n"
                                          "        b=\"2\">\n"
                                          "    m\n"
                                          "        <leaf>\n"
                                          "        </leaf>\n"
                                          "    </mid>\n"
                                          "</top>\n");
    // What the writer prints reads back the same.
    TXmlNode again;
    again.ParseString(top->ToString().c_str());
    EXPECT_STREQ(again.FindChild("top")->ToString().c_str(), top->ToString().c_str());
}

TEST(XmlWriter, SetAttributeReplacesKeepingTheQuotedFlag)
{
    TXmlNode doc;
    doc.ParseString("<a n=1/>");
    TXmlNode* a = doc.FindChild("a");
    a->SetAttribute("n", 42);
    a->SetAttribute("m", "x y");
    bool quoted = true;
    EXPECT_STREQ(a->GetAttribute("n", &quoted).c_str(), "42");
    EXPECT_FALSE(quoted);
    EXPECT_STREQ(a->GetAttribute("m", &quoted).c_str(), "x y");
    EXPECT_TRUE(quoted);
    TXmlNode* child = a->AddChild("c");
    EXPECT_EQ(a->FindChild("c"), child);
    EXPECT_STREQ(a->ToString().c_str(), "<a\n    n=42\n    m=\"x y\">\n    <c>\n    </c>\n</a>\n");
}

TEST(XmlPacked, ZxmlBufferParsesLikeThePlainText)
{
    const std::string plain = "<?xml version=\"1.0\"?><settings><utf8mode>1</utf8mode>"
                              "<name a=\"&amp;b\">caf&#195;&#169; ok</name></settings>";
    TXmlNode expected;
    expected.ParseString(plain.c_str());
    std::vector<char> packed = Pack(plain);
    TXmlNode fromBuffer;
    fromBuffer.ParseBuffer(packed.data(), static_cast<uint32_t>(packed.size()));
    ASSERT_NE(fromBuffer.FindChild("settings"), nullptr);
    EXPECT_STREQ(fromBuffer.FindChild("settings")->ToString().c_str(),
                 expected.FindChild("settings")->ToString().c_str());
    TXmlNode fromString;
    fromString.ParseString(packed.data());
    ASSERT_NE(fromString.FindChild("settings"), nullptr);
    EXPECT_STREQ(fromString.FindChild("settings")->ToString().c_str(),
                 expected.FindChild("settings")->ToString().c_str());
}

TEST(XmlPacked, DamagedPackedFormsGiveEmptyTrees)
{
    const std::string plain = "<a>some text to pack</a>";
    std::vector<char> good = Pack(plain);

    // A packed length larger than the bytes present is clamped: still parses.
    std::vector<char> lying = good;
    lying[4] = lying[5] = lying[6] = static_cast<char>(0xFF);
    TXmlNode clamped;
    clamped.ParseBuffer(lying.data(), static_cast<uint32_t>(lying.size()));
    EXPECT_NE(clamped.FindChild("a"), nullptr);

    // A packed length shorter than the stream: zlib cannot finish.
    std::vector<char> shortened = good;
    shortened[4] = static_cast<char>(shortened[4] - 3);
    shortened[5] = shortened[6] = shortened[7] = 0;
    TXmlNode shortStream;
    shortStream.ParseBuffer(shortened.data(), static_cast<uint32_t>(shortened.size()));
    EXPECT_FALSE(shortStream.HasChildren());

    // Cut short: zlib cannot finish.
    TXmlNode cut;
    cut.ParseBuffer(good.data(), static_cast<uint32_t>(good.size() - 4));
    EXPECT_FALSE(cut.HasChildren());

    // A corrupted stream.
    std::vector<char> corrupt = good;
    for (size_t i = 12; i < corrupt.size(); ++i)
    {
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    }
    TXmlNode bad;
    bad.ParseBuffer(corrupt.data(), static_cast<uint32_t>(corrupt.size()));
    EXPECT_FALSE(bad.HasChildren());

    // A plain length that is too small, and one that no stream of this size could reach.
    std::vector<char> small = good;
    small[8] = 3;
    TXmlNode tooSmall;
    tooSmall.ParseBuffer(small.data(), static_cast<uint32_t>(small.size()));
    EXPECT_FALSE(tooSmall.HasChildren());
    std::vector<char> huge = good;
    huge[11] = static_cast<char>(0x7F);
    TXmlNode tooLarge;
    tooLarge.ParseBuffer(huge.data(), static_cast<uint32_t>(huge.size()));
    EXPECT_FALSE(tooLarge.HasChildren());

    // Only the header.
    TXmlNode header;
    header.ParseBuffer("ZXML", 4);
    EXPECT_FALSE(header.HasChildren());

    std::vector<char> plainOut;
    EXPECT_FALSE(UnpackZxml(corrupt.data(), static_cast<uint32_t>(corrupt.size()), plainOut));
    EXPECT_TRUE(plainOut.empty());
    EXPECT_TRUE(UnpackZxml(good.data(), static_cast<uint32_t>(good.size()), plainOut));
    EXPECT_EQ(std::string(plainOut.begin(), plainOut.end()), plain);
}

namespace
{

class ZxmlClaimTest : public filetest::FileLayerTest
{
protected:
    static std::vector<char> PackedNoise(size_t bytes)
    {
        std::mt19937 random(7);
        std::string noise(bytes, '\0');
        for (char& c : noise)
        {
            c = static_cast<char>(random());
        }
        mNoise = noise;
        return Pack(noise);
    }
    static void SetClaim(std::vector<char>& block, uint32_t claim)
    {
        for (int i = 0; i < 4; ++i)
        {
            block[8 + i] = static_cast<char>(claim >> (8 * i));
        }
    }
    static inline std::string mNoise;
};

} // namespace

// The header's plain length is a claim the stream must meet to the byte; the memory taken follows
// what the stream gives, so a claim of 4 GiB costs no more than the data behind it.
TEST_F(ZxmlClaimTest, AClaimTheStreamDoesNotMeetIsDamageAndCostsOnlyTheStream)
{
    std::vector<char> plain;
    std::vector<char> small = PackedNoise(64 << 10);
    SetClaim(small, 16u << 20); // within the ratio bound of a 64 KiB stream
    ASSERT_FALSE(UnpackZxml(small.data(), static_cast<uint32_t>(small.size()), plain));
    EXPECT_TRUE(plain.empty());
    EXPECT_LT(plain.capacity(), size_t(1) << 20);

    std::vector<char> large = PackedNoise(4200000);
    ASSERT_GT(uint64_t(large.size() - 12) * 1032, uint64_t(0xFFFFFFFFu));
    SetClaim(large, 0xFFFFFFFFu);
    EXPECT_FALSE(UnpackZxml(large.data(), static_cast<uint32_t>(large.size()), plain));
    EXPECT_TRUE(plain.empty());
    EXPECT_LT(plain.capacity(), size_t(64) << 20);
    TXmlNode claimed;
    claimed.ParseBuffer(large.data(), static_cast<uint32_t>(large.size()));
    EXPECT_FALSE(claimed.HasChildren());

    SetClaim(large, 4200000 - 1);
    EXPECT_FALSE(UnpackZxml(large.data(), static_cast<uint32_t>(large.size()), plain));
    SetClaim(large, 4200000 + 1);
    EXPECT_FALSE(UnpackZxml(large.data(), static_cast<uint32_t>(large.size()), plain));
    SetClaim(large, 4200000);
    ASSERT_TRUE(UnpackZxml(large.data(), static_cast<uint32_t>(large.size()), plain));
    EXPECT_TRUE(std::string(plain.begin(), plain.end()) == mNoise) << "byte-exact";

    const std::string log = Log();
    for (const char* line : {
             "ZXML: the packed stream holds 65536 bytes, not the 16777216 its header gives\n",
             "ZXML: the plain length 4294967295 is more than the 16777216 bytes a document may "
             "unpack to\n",
             "ZXML: the packed stream holds more than the 4199999 bytes its header gives\n",
             "ZXML: the packed stream holds 4200000 bytes, not the 4200001 its header gives\n",
         })
    {
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
    }
}

// A stream of a few kilobytes may truly inflate to gigabytes: past the largest document a reader
// takes, it is refused unpacked, as a packed file is refused unread past what such a document
// packs to.
TEST_F(ZxmlClaimTest, DocumentsPastTheLargestAreRefusedWhateverTheirRatio)
{
    std::vector<char> plain;
    const std::vector<char> bomb = Pack(std::string(kMaxUnpackedXmlBytes + 1, ' '));
    ASSERT_LT(bomb.size(), size_t(1) << 20);
    EXPECT_FALSE(UnpackZxml(bomb.data(), static_cast<uint32_t>(bomb.size()), plain));
    EXPECT_EQ(plain.capacity(), 0u);
    const std::vector<char> largest = Pack(std::string(kMaxUnpackedXmlBytes, ' '));
    EXPECT_TRUE(UnpackZxml(largest.data(), static_cast<uint32_t>(largest.size()), plain));
    EXPECT_EQ(plain.size(), size_t(kMaxUnpackedXmlBytes));

    Write("user/bomb.xml", std::string(bomb.begin(), bomb.end()));
    std::string large = "ZXML";
    large.resize(kMaxPackedXmlFileBytes + 1, '\0');
    Write("user/large.xml", large);
    TXmlNode fromBomb;
    fromBomb.ParseFile(TString("user:bomb.xml"));
    TXmlNode fromLarge;
    fromLarge.ParseFile(TString("user:large.xml"));
    EXPECT_FALSE(fromBomb.HasChildren());
    EXPECT_FALSE(fromLarge.HasChildren());
    const std::string log = Log();
    EXPECT_NE(log.find(": ZXML: the plain length 16777217 is more than the 16777216 bytes a "
                       "document may unpack to\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(": ZXML: '" + mRoot +
                       "/user/large.xml' was not read: it is larger than "
                       "the 16782361 bytes a packed document takes\n"),
              std::string::npos)
        << log;
}

// What a document may cost: past kXmlMaxNodes elements and attributes, or past the bytes a packed
// one may unpack to, a document is refused whole with a line, as a damaged one is; up to them it
// is read.
namespace
{

std::string Elements(int count)
{
    std::string text;
    text.reserve(static_cast<size_t>(count) * 4);
    for (int i = 0; i < count; ++i)
        text += "<a/>";
    return text;
}

} // namespace

TEST_F(ZxmlClaimTest, DocumentsPastTheElementBudgetAreRefusedWholeWithALine)
{
    const std::string largest = Elements(kXmlMaxNodes);
    TXmlNode read;
    EXPECT_TRUE(read.ParseBuffer(largest.data(), static_cast<uint32_t>(largest.size())));
    EXPECT_EQ(read.GetChildCount(), kXmlMaxNodes);

    // One element more; one element whose attributes take the budget; a packed file whose 16 MiB
    // hold four million empty elements. A node that held a tree before keeps it as it was.
    const std::string elements = Elements(kXmlMaxNodes + 1);
    std::string attributes = "<a";
    for (int i = 0; i < kXmlMaxNodes; ++i)
        attributes += " b=1";
    attributes += "/>";
    TXmlNode refused;
    refused.ParseString("<kept>text</kept> word");
    EXPECT_FALSE(refused.ParseBuffer(elements.data(), static_cast<uint32_t>(elements.size())));
    EXPECT_FALSE(refused.ParseString(attributes.c_str()));
    EXPECT_EQ(ChildNames(refused), std::vector<std::string>{"kept"});
    EXPECT_STREQ(refused.GetText().c_str(), "word");
    const std::vector<char> bomb = Pack(Elements(int(kMaxUnpackedXmlBytes / 4)));
    ASSERT_LT(bomb.size(), size_t(64) << 10);
    Write("common/display.xml", std::string(bomb.begin(), bomb.end()));
    TXmlNode fromFile;
    EXPECT_FALSE(fromFile.ParseFile(TString("common:display.xml")));
    EXPECT_FALSE(fromFile.HasChildren());

    const std::string log = Log();
    const std::string line = " was not read: it holds more than the 65536 elements and "
                             "attributes a document may hold\n";
    EXPECT_NE(log.find(": XML: a document in memory" + line), std::string::npos) << log;
    EXPECT_NE(log.find(": XML: '" + mRoot + "/common/display.xml'" + line), std::string::npos)
        << log;
}

TEST_F(ZxmlClaimTest, PlainDocumentsPastTheLargestAreRefusedUnread)
{
    std::string largest(kMaxUnpackedXmlBytes, ' ');
    largest.replace(0, 4, "<a/>");
    TXmlNode read;
    EXPECT_TRUE(read.ParseBuffer(largest.data(), static_cast<uint32_t>(largest.size())));
    EXPECT_NE(read.FindChild("a"), nullptr);

    std::string larger = largest + " ";
    TXmlNode fromMemory;
    EXPECT_FALSE(fromMemory.ParseBuffer(larger.data(), static_cast<uint32_t>(larger.size())));
    EXPECT_FALSE(fromMemory.ParseString(larger.c_str()));
    EXPECT_FALSE(fromMemory.HasChildren());
    Write("user/large.xml", larger);
    TXmlNode fromFile;
    EXPECT_FALSE(fromFile.ParseFile(TString("user:large.xml")));
    EXPECT_FALSE(fromFile.HasChildren());

    const std::string log = Log();
    const std::string line = " was not read: it is larger than the 16777216 bytes a document "
                             "may hold\n";
    EXPECT_NE(log.find(": XML: a document in memory" + line), std::string::npos) << log;
    EXPECT_NE(log.find(": XML: '" + mRoot + "/user/large.xml'" + line), std::string::npos) << log;
}

namespace
{

class XmlFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearPathMap();
        SetDataFolders(TString(mRoot.c_str()), TString(), TString());
    }
    void TearDown() override { ClearPathMap(); }
    void Write(const char* name, const std::string& bytes) const
    {
        testsupport::WriteFile(mRoot / name, bytes);
    }
    testsupport::ScratchFolder mScratch{"mw_xml"};
    fs::path mRoot = mScratch.Path();
};

const char kDocument[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<!-- display settings -->\n"
                         "<Settings LowMemoryVideo=\"1\">\n"
                         "  <entry key=a>caf\xC3\xA9 &amp; \xFF more</entry>\n"
                         "  <empty/>\n"
                         "</Settings>\n";

} // namespace

TEST_F(XmlFileTest, PlainFileParsesLikeTheSameTextInMemory)
{
    Write("doc.xml", kDocument);
    TXmlNode fromFile;
    fromFile.ParseFile(TString("user:doc.xml"));
    TXmlNode fromMemory;
    fromMemory.ParseString(kDocument);
    EXPECT_EQ(ChildNames(fromFile), (std::vector<std::string>{"?xml", "!--", "Settings"}));
    TXmlNode* settings = fromFile.FindChild("Settings");
    ASSERT_NE(settings, nullptr);
    EXPECT_STREQ(settings->GetAttribute("LowMemoryVideo").c_str(), "1");
    EXPECT_STREQ(settings->FindChild("entry")->GetText().c_str(), "caf\xC3\xA9 & \xFF more");
    EXPECT_STREQ(settings->ToString().c_str(),
                 fromMemory.FindChild("Settings")->ToString().c_str());
}

TEST_F(XmlFileTest, PackedFileParsesLikeThePlainFile)
{
    std::vector<char> packed = Pack(kDocument);
    Write("doc.zxml", std::string(packed.begin(), packed.end()));
    Write("doc.xml", kDocument);
    TXmlNode plain;
    plain.ParseFile(TString("user:doc.xml"));
    TXmlNode zipped;
    zipped.ParseFile(TString("user:doc.zxml"));
    ASSERT_NE(zipped.FindChild("Settings"), nullptr);
    EXPECT_EQ(ChildNames(zipped), ChildNames(plain));
    EXPECT_STREQ(zipped.FindChild("Settings")->ToString().c_str(),
                 plain.FindChild("Settings")->ToString().c_str());

    // A packed length beyond the file's end is clamped to the bytes present.
    std::vector<char> lying = packed;
    lying[6] = 0x10;
    Write("lying.zxml", std::string(lying.begin(), lying.end()));
    TXmlNode clamped;
    clamped.ParseFile(TString("user:lying.zxml"));
    EXPECT_NE(clamped.FindChild("Settings"), nullptr);

    // A file cut inside its stream gives an empty tree.
    Write("cut.zxml", std::string(packed.begin(), packed.end() - 10));
    TXmlNode cut;
    cut.ParseFile(TString("user:cut.zxml"));
    EXPECT_FALSE(cut.HasChildren());
}

TEST_F(XmlFileTest, MissingAndTinyFiles)
{
    TXmlNode missing;
    missing.ParseFile(TString("user:nothing.xml"));
    EXPECT_FALSE(missing.HasChildren());
    Write("tiny.xml", "<a");
    TXmlNode tiny;
    tiny.ParseFile(TString("user:tiny.xml"));
    EXPECT_NE(tiny.FindChild("a"), nullptr);
    Write("zx.xml", "ZXML");
    TXmlNode header;
    header.ParseFile(TString("user:zx.xml"));
    EXPECT_FALSE(header.HasChildren());
}

TEST_F(XmlFileTest, FileSourceStepsBackAndRewinds)
{
    Write("bytes.bin", std::string("\xFF"
                                   "ab",
                                   3));
    TGetCharFile source(TString("user:bytes.bin"));
    ASSERT_TRUE(source.IsOpen());
    EXPECT_EQ(source.Unget(), -1);
    EXPECT_EQ(source.Get(), 0xFF);
    EXPECT_EQ(source.Get(), 'a');
    EXPECT_EQ(source.Unget(), 0);
    EXPECT_EQ(source.Get(), 'a');
    EXPECT_EQ(source.Get(), 'b');
    EXPECT_EQ(source.Get(), -1);
    source.Rewind();
    EXPECT_EQ(source.Get(), 0xFF);
    source.mStop = true;
    EXPECT_EQ(source.Get(), -1);
    TGetCharFile absent(TString("user:absent.bin"));
    EXPECT_FALSE(absent.IsOpen());
    EXPECT_EQ(absent.Get(), -1);
}

TEST(XmlRobustness, MutatedDocumentsNeverCrash)
{
    const std::string base = std::string(kDocument) + "<r a=\"1\" b=2><c>&lt;x&#65;&#;</c></r>";
    std::vector<char> packed = Pack(base);
    std::mt19937 random(4242);
    const std::string alphabet = "<>=\"/?!-&#;ab \n\xC3\xFF\xF0";
    for (int round = 0; round < 400; ++round)
    {
        std::string text = zxmltest::Mutate(
            round % 4 == 3 ? std::string(packed.begin(), packed.end()) : base, random, alphabet);
        TXmlNode doc;
        doc.ParseBuffer(text.data(), static_cast<uint32_t>(text.size()));
        doc.ToString();
    }
    SUCCEED();
}
