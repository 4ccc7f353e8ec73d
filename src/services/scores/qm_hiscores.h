// TQmHiscores: the local high-score and medal store. One score table per game mode, the players'
// medals and service accounts, kept in the enciphered file "user:hiscore.dat" and saved after
// every change; it also carries the score service's address and the optional local score server.
#pragma once

#include "platform/strings/tstring.h"

#include <chrono>
#include <cstdint>
#include <memory>

class TQmHiscores
{
public:
    // Values of SetParameter's first argument.
    enum : int
    {
        kParameterLanguage = 0,
        kParameterUser = 1,
        kParameterMode = 2,
    };

    // Loads the score file, the local score server, "hiscore.xml" and "hiscoreserver.txt".
    // Without saveEnabled nothing is ever written.
    explicit TQmHiscores(bool saveEnabled);
    ~TQmHiscores();
    TQmHiscores(const TQmHiscores&) = delete;
    TQmHiscores& operator=(const TQmHiscores&) = delete;

    // The language (ignored once "hiscore.xml" fixed it), the current player (which forgets the
    // password) or the current mode; other values of which are ignored.
    void SetParameter(int which, const TString& value);
    // bestOnly keeps one entry per player: the best.
    void AddScore(int score, bool bestOnly, const char* gameData);
    void SubmitScore(int score, bool bestOnly, const char* gameData, const char* serverData);
    // Drops the player's entries from every table and their medals; service accounts stay.
    void RemoveUserScores(const TString& player);
    // RemoveUserScores, then the current player's score entered as AddScore's best, in one save:
    // a crash leaves the old row or the new one. `lowerFirst`: the table ranks a lower score
    // (a time) as the better, which a merge with another copy's save keeps.
    void ReplaceUserScore(const TString& player, int score, bool lowerFirst, const char* gameData);
    // The save to make before the end: once more when a save of this run failed or was put off
    // (said when it fails again: those changes are lost). True when nothing is left unsaved. A
    // save at a hung disk is waited for only a bound, counted from `closeBegan` at the earliest.
    bool SavePending(
        std::chrono::steady_clock::time_point closeBegan = std::chrono::steady_clock::now());
    // Saves on a saver thread beside the caller's from now on (false: on the caller's again, once
    // those on their way are made); the frame loop polls, and a reader of the file waits.
    void SetBackgroundSaves(bool background);
    void PollSaves();
    void WaitForSaves();

    // With false: the service's table, which stays empty.
    int GetNumScores(bool currentModeOnly) const;
    // Every output may be null; a text is copied only into a buffer of size above 0, cut to
    // size-1 bytes and always terminated.
    bool GetScore(bool currentModeOnly, int index, int* rank, char* name, uint32_t nameSize,
                  uint8_t* local, int* score, char* gameData, uint32_t gameDataSize) const;
    // The current player's medals, in the stored order.
    int GetNumMedals() const;
    // notGameType is 0 when the medal's type is exactly "game".
    bool GetMedal(int index, TString* medalName, int* notGameType, TString* mode,
                  TString* gameData) const;

    const TString& GetLanguage() const;
    const TString& GetDefaultError() const;
    // No request is ever sent to it.
    const TString& GetServerUrl() const;

private:
    struct Record;
    class Store;

    void Load();
    void ReadSettingsFile();
    void ReadServerAddress();
    // False (and a log line with the reason) when the score file could not be written; saved as
    // every shared data file is (TSharedSave), under the lock "hiscore.dat.lock".
    bool Save();
    // The changes of AddScore and RemoveUserScores, without their save.
    void Enter(int score, bool bestOnly, const char* gameData, const char* serverData);
    void DropPlayer(const TString& player);

    std::unique_ptr<Record> mRecord;
};
