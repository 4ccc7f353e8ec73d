// Writing and reading the enciphered score file and its document text.
#include "services/scores/hiscore_file.h"

#include "platform/config/cipher.h"
#include "platform/files/file.h"
#include "platform/log.h"
#include "platform/config/xml.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>

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

namespace
{
THiscoreRead ReadOpenHiscoreFile(TFile& file, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    if (!file.IsOpen())
    {
        if (!file.Refused())
            return THiscoreRead::kNoFile;
        Log("HiScores: The saved score data was not read: %s. Ignoring it.",
            file.GetError().c_str());
        return THiscoreRead::kRefused;
    }
    int length = file.Length();
    if (length < 0 || length > kMaxHiscoreFileBytes)
    {
        Log("HiScores: The saved score data is larger than %d bytes. Ignoring it.",
            kMaxHiscoreFileBytes);
        return THiscoreRead::kRefused;
    }
    bytes.resize(static_cast<size_t>(length));
    if (length > 0 && file.Read(bytes.data(), length) != length)
    {
        Log("HiScores: The saved score data could not be read. Ignoring it.");
        bytes.clear();
        return THiscoreRead::kFailed;
    }
    return THiscoreRead::kRead;
}
} // namespace

THiscoreRead ReadHiscoreBytes(const TString& name, std::vector<uint8_t>& bytes)
{
    TFile file;
    file.Open(name, kFileReadBinary);
    return ReadOpenHiscoreFile(file, bytes);
}

THiscoreRead ReadHiscoreBytesAt(const TString& location, std::vector<uint8_t>& bytes)
{
    TFile file;
    file.OpenAt(location, kFileReadBinary);
    return ReadOpenHiscoreFile(file, bytes);
}

THiscoreLoad DecodeHiscoreBytes(TCipher& cipher, const std::vector<uint8_t>& bytes,
                                THiscoreData& data)
{
    const int length = static_cast<int>(bytes.size());
    if (length <= kBlock || length % kBlock != 0)
    {
        Log("HiScores: The saved score data is damaged (%d bytes). Ignoring it.", length);
        return THiscoreLoad::kDamaged;
    }
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

THiscoreLoad LoadHiscoreFile(TCipher& cipher, const TString& name, THiscoreData& data,
                             std::vector<uint8_t>* fileBytes)
{
    std::vector<uint8_t> bytes;
    const THiscoreRead read = ReadHiscoreBytes(name, bytes);
    THiscoreLoad result = THiscoreLoad::kDamaged;
    if (read == THiscoreRead::kNoFile)
        result = THiscoreLoad::kNoFile;
    else if (read == THiscoreRead::kRead)
        result = DecodeHiscoreBytes(cipher, bytes, data);
    if (fileBytes != nullptr)
        *fileBytes = std::move(bytes);
    return result;
}

THiscoreData CopyHiscoreData(const THiscoreData& data)
{
    THiscoreData copy;
    for (const auto& [mode, table] : data.mTables)
        copy.mTables[mode] = std::make_unique<ScoreTable>(*table);
    copy.mMedals = data.mMedals;
    copy.mUsers = data.mUsers;
    return copy;
}

namespace
{

bool SameEntry(const ScoreEntry& a, const ScoreEntry& b)
{
    // The rank is left out: it moves with every entry above.
    auto same = [](const TString& x, const TString& y)
    { return std::strcmp(x.c_str(), y.c_str()) == 0; };
    return a.mScore == b.mScore && same(a.mName, b.mName) && same(a.mGameData, b.mGameData) &&
           same(a.mServerData, b.mServerData) && same(a.mVersion, b.mVersion) &&
           a.mLocal == b.mLocal && a.mSubmitted == b.mSubmitted && same(a.mGuid, b.mGuid);
}

// An entry's identity: its GUID with its player (copies started with one GUID sequence, as tests
// start them, make the same GUIDs for different players); an entry of a file without GUIDs,
// everything it holds.
std::string EntryIdentity(const ScoreEntry& e)
{
    if (e.mGuid.Length() > 0)
        return std::string(e.mGuid.c_str()) + '\0' + e.mName.c_str();
    std::string all = std::to_string(e.mScore);
    for (const TString* text : {&e.mName, &e.mGameData, &e.mServerData, &e.mVersion})
        all += std::string(1, '\0') + text->c_str();
    return all + '\0' + std::to_string(e.mLocal) + std::to_string(e.mSubmitted);
}

bool SameMedals(const std::list<MedalRecord>& a, const std::list<MedalRecord>& b)
{
    auto same = [](const MedalRecord& x, const MedalRecord& y)
    {
        return std::strcmp(x.mMedalName.c_str(), y.mMedalName.c_str()) == 0 &&
               std::strcmp(x.mType.c_str(), y.mType.c_str()) == 0 &&
               std::strcmp(x.mMode.c_str(), y.mMode.c_str()) == 0 &&
               std::strcmp(x.mGameData.c_str(), y.mGameData.c_str()) == 0 &&
               x.mSubmitted == y.mSubmitted;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), same);
}

bool SameUser(const UserRecord& a, const UserRecord& b)
{
    return std::strcmp(a.mName.c_str(), b.mName.c_str()) == 0 &&
           std::strcmp(a.mPass.c_str(), b.mPass.c_str()) == 0;
}

// Per key of a map: where this copy's value differs from base's (or one of them has none), this
// copy's goes over `disk` (its absence removes the key there).
template <typename TMap, typename TSame>
void MergeMap(const TMap& base, const TMap& mine, TMap& disk, TSame same)
{
    for (const auto& [key, value] : mine)
    {
        auto was = base.find(key);
        if (was == base.end() || !same(was->second, value))
            disk[key] = value;
    }
    for (const auto& [key, value] : base)
        if (mine.find(key) == mine.end())
            disk.erase(key);
}

} // namespace

void MergeHiscoreData(const THiscoreData& base, const THiscoreData& mine, THiscoreData& disk,
                      const THiscoreBestModes& bestModes)
{
    for (const auto& [mode, table] : mine.mTables)
    {
        const auto order = bestModes.find(mode);
        const bool best = order != bestModes.end();
        const bool lowerFirst = best && order->second;
        // In a table of times 0 is no time yet (a new player's row), below every time.
        const auto better = [&](int32_t a, int32_t b)
        { return lowerFirst ? a != 0 && (b == 0 || a < b) : a > b; };
        std::map<std::string, const ScoreEntry*> before;
        if (auto found = base.mTables.find(mode); found != base.mTables.end())
            for (const ScoreEntry& e : found->second->GetEntries())
                before[EntryIdentity(e)] = &e;
        std::map<std::string, const ScoreEntry*> now;
        for (const ScoreEntry& e : table->GetEntries())
            now[EntryIdentity(e)] = &e;

        std::vector<ScoreEntry> entries;
        std::set<std::string> placed;
        // Those added or changed here.
        std::set<std::string> here;
        // The file's entries, less those this copy removed; those it changed in their place.
        if (auto found = disk.mTables.find(mode); found != disk.mTables.end())
            for (const ScoreEntry& e : found->second->GetEntries())
            {
                const std::string id = EntryIdentity(e);
                auto was = before.find(id);
                auto is = now.find(id);
                if (was != before.end() && is == now.end())
                    continue;
                if (!placed.insert(id).second)
                    continue;
                const bool changed = is != now.end() &&
                                     (was == before.end() || !SameEntry(*was->second, *is->second));
                // A best improved here and there: the better stands.
                const bool mineStands = changed && !(best && better(e.mScore, is->second->mScore));
                if (mineStands)
                    here.insert(id);
                entries.push_back(mineStands ? *is->second : e);
            }
        // Those this copy added or changed, the file has no more.
        for (const ScoreEntry& e : table->GetEntries())
        {
            const std::string id = EntryIdentity(e);
            auto was = before.find(id);
            if (placed.count(id) != 0 || (was != before.end() && SameEntry(*was->second, e)))
                continue;
            placed.insert(id);
            here.insert(id);
            entries.push_back(e);
        }
        // Higher first, as Insert keeps them.
        std::stable_sort(entries.begin(), entries.end(),
                         [](const ScoreEntry& a, const ScoreEntry& b)
                         { return a.mScore > b.mScore; });
        if (best)
        {
            // One entry a player, the best (this copy's on a tie, as its name for the player
            // is the one its preferences keep): copies that each entered a player's best, or made
            // one player each under one name, keep one row.
            std::vector<ScoreEntry> kept;
            for (ScoreEntry& e : entries)
            {
                auto same = std::find_if(kept.begin(), kept.end(),
                                         [&](const ScoreEntry& k)
                                         { return SamePlayerName(k.mName, e.mName); });
                if (same == kept.end())
                    kept.push_back(std::move(e));
                else if (better(e.mScore, same->mScore) ||
                         (same->mScore == e.mScore && here.count(EntryIdentity(e)) != 0))
                    *same = std::move(e);
            }
            entries = std::move(kept);
        }
        // Past the table's limit, the worst by its order fall off (in a table of times the
        // slowest).
        while (entries.size() > static_cast<size_t>(kMaxScoreEntries))
            entries.erase(entries.begin() + static_cast<long>(WorstScoreRow(entries, lowerFirst)));
        auto merged = std::make_unique<ScoreTable>(mode);
        for (ScoreEntry& e : entries)
            merged->AppendStored(std::move(e));
        merged->Rerank();
        disk.mTables[mode] = std::move(merged);
    }
    MergeMap(base.mMedals, mine.mMedals, disk.mMedals, SameMedals);
    MergeMap(base.mUsers, mine.mUsers, disk.mUsers, SameUser);
}

namespace
{
// A row's elements and attributes: the element, rank, score and submit, and each text it has.
int RowNodes(const ScoreEntry& e)
{
    int nodes = 4;
    for (const TString* text : {&e.mGuid, &e.mName, &e.mGameData, &e.mServerData, &e.mVersion})
        nodes += text->Length() > 0 ? 1 : 0;
    return nodes;
}
} // namespace

int CountHiscoreNodes(const THiscoreData& data)
{
    // The declaration and its version.
    int nodes = 2;
    nodes += 4 * static_cast<int>(data.mUsers.size());
    for (const auto& [mode, table] : data.mTables)
    {
        nodes += 2;
        for (const ScoreEntry& e : table->GetEntries())
            nodes += RowNodes(e);
    }
    for (const auto& [player, medals] : data.mMedals)
        if (!medals.empty())
            nodes += 2 + 6 * static_cast<int>(medals.size());
    return nodes;
}

int TrimHiscoreData(THiscoreData& data, int maxNodes, const THiscoreBestModes& bestModes)
{
    int nodes = CountHiscoreNodes(data);
    int dropped = 0;
    while (nodes > maxNodes)
    {
        ScoreTable* longest = nullptr;
        for (auto& [mode, table] : data.mTables)
            if (table->GetCount() > 0 &&
                (longest == nullptr || table->GetCount() > longest->GetCount()))
                longest = table.get();
        if (longest == nullptr)
            return -1;
        const auto order = bestModes.find(longest->GetName());
        const size_t worst =
            WorstScoreRow(longest->GetEntries(), order != bestModes.end() && order->second);
        nodes -= RowNodes(longest->GetEntries()[worst]);
        longest->RemoveAt(static_cast<int>(worst));
        ++dropped;
    }
    return dropped;
}
