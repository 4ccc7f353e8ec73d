// Writing and reading the enciphered score file and its document text.
#include "services/scores/hiscore_file.h"

#include "platform/config/cipher.h"
#include "platform/files/file.h"
#include "platform/log.h"
#include "platform/config/xml.h"

#include <cstring>

namespace
{

constexpr int kBlock = 8;

void SetIfNotEmpty(TXmlNode* node, const char* name, const TString& value)
{
    if (value.Length() > 0)
        node->SetAttribute(name, value.c_str());
}

void AppendElement(TString& out, TXmlNode& element)
{
    out += element.ToString();
}

// Every attribute the file knows is a quoted text; a missing one reads as empty.
TString Attribute(const TXmlNode* node, const char* name)
{
    return node->GetAttribute(name);
}

void ReadUsers(TXmlNode& root, THiscoreData& data)
{
    TString name;
    TXmlNode* node = nullptr;
    root.ResetChildCursor();
    while (root.GetNextChild(name, node))
    {
        if (name != TString("user"))
            continue;
        UserRecord user;
        user.mPlayer = Attribute(node, "player");
        user.mName = Attribute(node, "name");
        user.mPass = Attribute(node, "pass");
        data.mUsers[user.mPlayer] = user;
    }
}

bool ReadTables(TXmlNode& root, THiscoreData& data)
{
    bool whole = true;
    TString name;
    TXmlNode* node = nullptr;
    root.ResetChildCursor();
    while (root.GetNextChild(name, node))
    {
        if (name != TString("score") || node->FindChild("row") == nullptr)
            continue;
        auto table = std::make_unique<ScoreTable>(Attribute(node, "name"));
        int rows = 0;
        TString rowName;
        TXmlNode* row = nullptr;
        node->ResetChildCursor();
        while (node->GetNextChild(rowName, row))
        {
            if (rowName != TString("row"))
                continue;
            // Insertion relies on the limit, so a longer stored table is cut to it.
            if (++rows > kMaxScoreEntries)
                continue;
            ScoreEntry entry;
            entry.mRank = Attribute(row, "rank").ToInt();
            entry.mScore = Attribute(row, "score").ToInt();
            entry.mSubmitted = Attribute(row, "submit").ToInt() >= 1 ? 1 : 0;
            entry.mGuid = Attribute(row, "guid");
            entry.mName = Attribute(row, "name");
            entry.mGameData = Attribute(row, "gameData");
            entry.mServerData = Attribute(row, "serverData");
            entry.mVersion = Attribute(row, "version");
            entry.mLocal = 1;
            table->AppendStored(std::move(entry));
        }
        if (rows > kMaxScoreEntries)
        {
            Log("HiScores: Table '%s' holds %d rows; only the first %d were kept.",
                table->GetName().c_str(), rows, kMaxScoreEntries);
            whole = false;
        }
        TString mode = table->GetName();
        data.mTables[mode] = std::move(table);
    }
    return whole;
}

void ReadMedals(TXmlNode& root, THiscoreData& data)
{
    TString name;
    TXmlNode* node = nullptr;
    root.ResetChildCursor();
    while (root.GetNextChild(name, node))
    {
        if (name != TString("medals"))
            continue;
        TString user = Attribute(node, "user");
        TString medalName;
        TXmlNode* medalNode = nullptr;
        node->ResetChildCursor();
        while (node->GetNextChild(medalName, medalNode))
        {
            if (medalName != TString("medal"))
                continue;
            MedalRecord medal;
            medal.mMedalName = Attribute(medalNode, "medalname");
            medal.mType = Attribute(medalNode, "type");
            medal.mMode = Attribute(medalNode, "mode");
            medal.mGameData = Attribute(medalNode, "gameData");
            medal.mSubmitted = Attribute(medalNode, "submit").ToInt() >= 1 ? 1 : 0;
            data.mMedals[user].push_back(medal);
        }
    }
}

} // namespace

TString BuildHiscoreDocument(const THiscoreData& data)
{
    TString out("<?xml version=\"1.0\"?>\n");
    for (const auto& [player, user] : data.mUsers)
    {
        TXmlNode element("user");
        element.SetAttribute("player", user.mPlayer.c_str());
        element.SetAttribute("name", user.mName.c_str());
        element.SetAttribute("pass", user.mPass.c_str());
        AppendElement(out, element);
    }
    for (const auto& [mode, table] : data.mTables)
    {
        TXmlNode element("score");
        element.SetAttribute("name", mode.c_str());
        for (const ScoreEntry& entry : table->GetEntries())
        {
            TXmlNode* row = element.AddChild("row");
            row->SetAttribute("rank", entry.mRank);
            row->SetAttribute("score", entry.mScore);
            row->SetAttribute("submit", entry.mSubmitted ? 1 : 0);
            SetIfNotEmpty(row, "guid", entry.mGuid);
            SetIfNotEmpty(row, "name", entry.mName);
            SetIfNotEmpty(row, "gameData", entry.mGameData);
            SetIfNotEmpty(row, "serverData", entry.mServerData);
            SetIfNotEmpty(row, "version", entry.mVersion);
        }
        AppendElement(out, element);
    }
    for (const auto& [player, medals] : data.mMedals)
    {
        if (medals.empty())
            continue;
        TXmlNode element("medals");
        element.SetAttribute("user", player.c_str());
        for (const MedalRecord& medal : medals)
        {
            TXmlNode* child = element.AddChild("medal");
            child->SetAttribute("medalname", medal.mMedalName.c_str());
            child->SetAttribute("type", medal.mType.c_str());
            child->SetAttribute("mode", medal.mMode.c_str());
            child->SetAttribute("gameData", medal.mGameData.c_str());
            child->SetAttribute("submit", medal.mSubmitted ? 1 : 0);
        }
        AppendElement(out, element);
    }
    return out;
}

uint32_t HiscoreChecksum(const uint8_t* data, size_t size)
{
    uint8_t sum[4] = {};
    for (size_t i = 0; i < size; ++i)
        sum[i % 4] ^= data[i];
    return uint32_t(sum[0]) | uint32_t(sum[1]) << 8 | uint32_t(sum[2]) << 16 |
           uint32_t(sum[3]) << 24;
}

std::vector<uint8_t> EncipherHiscoreDocument(TCipher& cipher, const TString& document)
{
    int plain = document.Length() + 1;
    std::vector<uint8_t> out(static_cast<size_t>(plain + kBlock + kBlock));
    if (cipher.Encrypt(document.c_str(), plain, out.data(), plain + kBlock, false) != 0)
        return {};
    size_t body = static_cast<size_t>(cipher.GetLastLength());
    uint32_t checksum = HiscoreChecksum(out.data(), body);
    uint8_t word[4] = {static_cast<uint8_t>(checksum), static_cast<uint8_t>(checksum >> 8),
                       static_cast<uint8_t>(checksum >> 16), static_cast<uint8_t>(checksum >> 24)};
    if (cipher.Encrypt(word, 4, out.data() + body, kBlock, false) != 0)
        return {};
    out.resize(body + kBlock);
    return out;
}

bool ParseHiscoreDocument(const char* text, uint32_t length, THiscoreData& data)
{
    // The text ends at its NUL, and never past the deciphered bytes when a file has none.
    const void* nul = std::memchr(text, 0, length);
    if (nul)
        length = static_cast<uint32_t>(static_cast<const char*>(nul) - text);
    TXmlNode root;
    // A document refused whole (past what a score file ever holds) is damage, kept aside.
    if (!root.ParseBuffer(text, length))
        return false;
    ReadUsers(root, data);
    bool whole = ReadTables(root, data);
    ReadMedals(root, data);
    return whole;
}

THiscoreLoad LoadHiscoreFile(TCipher& cipher, const TString& name, THiscoreData& data)
{
    TFile file;
    if (!file.Open(name, kFileReadBinary))
    {
        if (!file.Refused())
            return THiscoreLoad::kNoFile;
        Log("HiScores: The saved score data was not read: %s. Ignoring it.",
            file.GetError().c_str());
        return THiscoreLoad::kDamaged;
    }
    int length = file.Length();
    if (length < 0 || length > kMaxHiscoreFileBytes)
    {
        Log("HiScores: The saved score data is larger than %d bytes. Ignoring it.",
            kMaxHiscoreFileBytes);
        return THiscoreLoad::kDamaged;
    }
    if (length <= kBlock || length % kBlock != 0)
    {
        Log("HiScores: The saved score data is damaged (%d bytes). Ignoring it.", length);
        return THiscoreLoad::kDamaged;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (file.Read(bytes.data(), length) != length)
    {
        Log("HiScores: The saved score data could not be read. Ignoring it.");
        return THiscoreLoad::kDamaged;
    }
    file.Close();

    // The last block deciphers to the 4-byte checksum of everything before it.
    int body = length - kBlock;
    uint8_t word[kBlock] = {};
    bool match =
        cipher.Decrypt(bytes.data() + body, kBlock, word, kBlock, false) == 0 &&
        cipher.GetLastLength() == 4 &&
        (uint32_t(word[0]) | uint32_t(word[1]) << 8 | uint32_t(word[2]) << 16 |
         uint32_t(word[3]) << 24) == HiscoreChecksum(bytes.data(), static_cast<size_t>(body));
    if (!match)
    {
        Log("HiScores: Checksum did not match! Ignoring saved score data.");
        return THiscoreLoad::kDamaged;
    }
    // Exactly the deciphered bytes: nothing behind them can pass for the text's end.
    int plain = cipher.Decrypt(bytes.data(), body, nullptr, 0, false);
    if (plain <= 0)
        return THiscoreLoad::kLoaded;
    std::vector<char> text(static_cast<size_t>(plain));
    cipher.Decrypt(bytes.data(), body, text.data(), plain, false);
    return ParseHiscoreDocument(text.data(), static_cast<uint32_t>(plain), data)
               ? THiscoreLoad::kLoaded
               : THiscoreLoad::kDamaged;
}
