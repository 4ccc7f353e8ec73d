// Score table rules: ordered insertion, the 500-entry limit, competition ranks and removal.
#include "services/scores/score_table.h"

#include <algorithm>

bool SamePlayerName(const TString& a, const TString& b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const char* x = a.c_str();
    const char* y = b.c_str();
    while (*x != 0 && lower(*x) == lower(*y))
    {
        ++x;
        ++y;
    }
    return *x == 0 && *y == 0;
}

bool ScoreTable::Insert(ScoreEntry entry)
{
    auto place = std::find_if(mEntries.begin(), mEntries.end(),
                              [&](const ScoreEntry& e) { return e.mScore < entry.mScore; });
    if (place == mEntries.end())
    {
        if (GetCount() >= kMaxScoreEntries)
            return false;
        mEntries.push_back(std::move(entry));
    }
    else
    {
        mEntries.insert(place, std::move(entry));
        if (GetCount() > kMaxScoreEntries)
            mEntries.pop_back();
    }
    Rerank();
    return true;
}

int ScoreTable::FindPlayer(const TString& player) const
{
    for (int i = 0; i < GetCount(); ++i)
    {
        if (SamePlayerName(mEntries[i].mName, player))
            return i;
    }
    return -1;
}

void ScoreTable::RemoveAt(int index)
{
    if (index >= 0 && index < GetCount())
        mEntries.erase(mEntries.begin() + index);
}

bool ScoreTable::RemovePlayer(const TString& player)
{
    auto kept =
        std::remove_if(mEntries.begin(), mEntries.end(),
                       [&](const ScoreEntry& e) { return SamePlayerName(e.mName, player); });
    if (kept == mEntries.end())
        return false;
    mEntries.erase(kept, mEntries.end());
    Rerank();
    return true;
}

void ScoreTable::Rerank()
{
    for (int i = 0; i < GetCount(); ++i)
    {
        bool tied = i > 0 && mEntries[i].mScore == mEntries[i - 1].mScore;
        mEntries[i].mRank = tied ? mEntries[i - 1].mRank : i + 1;
    }
}
