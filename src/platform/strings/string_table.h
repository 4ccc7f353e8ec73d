// TStringTable: the localized texts of the game by label, loaded from spreadsheet-shaped XML files
// (plain or "ZXML"), with "%" escapes for arguments and other labels.
#pragma once

#include "platform/strings/tstring.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

class TStringTable
{
public:
    TStringTable() = default;

    // Adds the rows of one file; false when it does not open or its packed form is damaged (the
    // table is then left as it was).
    bool LoadFile(const TString& name);
    // Empties the table, then loads one file.
    bool Reload(const TString& name);
    // Adds the rows of a text of size bytes held in memory (plain or "ZXML").
    bool LoadBuffer(const char* data, uint32_t size);

    TString GetString(const TString& label, const TString& a1 = TString(),
                      const TString& a2 = TString(), const TString& a3 = TString(),
                      const TString& a4 = TString(), const TString& a5 = TString()) const;

    // Appends the labels of the Flash host's strings: "FLASH_" labels, then "flash%2d_%2d" ones.
    void ExportFlashStrings(std::vector<TString>& list) const;

    bool HasLabel(const TString& label) const { return mStrings.count(label) != 0; }
    int GetCount() const { return static_cast<int>(mStrings.size()); }
    void Clear()
    {
        mStrings.clear();
        mSaidMissing.clear();
        mSaidUnmatched.clear();
    }

    // While set, a missing label still yields "#####" but is not logged: for callers that probe
    // whether a label exists.
    void SetQuiet(bool quiet) { mQuiet = quiet; }
    bool IsQuiet() const { return mQuiet; }

private:
    void ScanRows(const char* text);
    // The text of a label inside an escape or argument, as it stands; empty when missing.
    TString LookUpRaw(const TString& label) const;

    std::map<TString, TString> mStrings;
    bool mQuiet = false;
    // The missing labels and the texts of an unmatched "%" logged so far: each is said once, as a
    // screen may ask for its texts every frame.
    mutable std::set<TString> mSaidMissing;
    mutable std::set<TString> mSaidUnmatched;
};

// The start-up loading order: "strings.xml" first (its result is returned: the caller sets the
// window script's text flag with it), then every file directly in "user:" and then in "common:"
// whose name begins with "string" and contains ".xml".
bool LoadStartupStringTables(TStringTable& table);
