// ConversationController: every conversation and character of a location, built from the
// location's conversations table and the scene window's "characterinfo" table; it lays the
// characters out on the two sides of the screen, darkens the scene behind them and runs a
// conversation line by line to its end.
#pragma once

#include "framework/conversation/conversation.h"
#include "framework/transforms/transform_manager.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TLuaTable;
class TTexture;

// The 32-byte vertex the scrim quad is drawn with: screen position, reciprocal w, colours, u, v.
struct ConversationScrimVertex
{
    float mX = 0;
    float mY = 0;
    float mZ = 0;
    float mRhw = 0;
    uint32_t mDiffuse = 0;
    uint32_t mSpecular = 0;
    float mU = 0;
    float mV = 0;
};

class ConversationController
{
public:
    ConversationController(const TLuaTable& conversationsTable, const TLuaTable& characterTable);
    ~ConversationController();
    ConversationController(const ConversationController&) = delete;
    ConversationController& operator=(const ConversationController&) = delete;

    void AddConversations(const TLuaTable& conversationsTable, const TLuaTable& characterTable,
                          const TLuaTable& conversationInfo);
    void LoadCharacter(const TString& name, const TLuaTable& characterTable);
    bool HasConversation(const TString& name) const;
    bool HasCharacter(const TString& name) const;

    // The callbacks belong to the caller and are told with (object, 0).
    void StartConversation(const TString& name, Callback* onAllGone, const TString& followUp,
                           Callback* onEnded);
    void OnMouseDown();
    // Runs inside a 2-D block: without an image the scrim ends the block and begins another.
    void DrawScrim(const TDrawSpec& spec);
    void Draw(const TDrawSpec& spec);
    void Pause();
    void Resume();

    void OnSpeakerArrived();
    void OnLineDone();
    void OnSlideOutDone(TM_Transform* target);
    void ShowCharacter(const TString& name);
    void HideCharacter(const TString& name);
    void EndConversation();

    ConversationCharacter* FindCharacter(const TString& name) const;

    std::map<TString, std::shared_ptr<Conversation>> mConversations;
    std::map<TString, std::shared_ptr<ConversationCharacter>> mCharacters;
    std::vector<ConversationCharacter*> mLeftCharacters;
    std::vector<ConversationCharacter*> mRightCharacters;
    Conversation* mCurrent = nullptr;
    ConversationCharacter* mSpeaker = nullptr;
    Callback* mOnAllGone = nullptr;
    Callback* mOnEnded = nullptr;
    Callback mLineDoneCallback;
    Callback mSpeakCallback;
    Callback mSlideOutCallback;
    int32_t mSoundEnter = 0;
    int32_t mSoundExit = 0;
    TString mFollowUp;
    int32_t mCharacterSpacing = 0;
    bool mLoaded = false;
    std::shared_ptr<TTexture> mScrimImage;
    TDrawSpec mScrimSpec;
    TM_Transform2D mScrimTransform;
    float mMaxAlpha = 0;
    int32_t mFadeTime = 0;
    ConversationScrimVertex mScrimQuad[4];
    uint16_t mScrimIndices[6] = {0, 1, 2, 0, 2, 3};

private:
    enum class LineStart
    {
        kUnknown,
        kSpeaks,
        kSkipped
    };
    // Steps one to ten of starting a line; a line whose speaker will never arrive is reported
    // and answers kSkipped.
    LineStart StartLine(const TString& name, Callback* onAllGone, const TString& followUp,
                        Callback* onEnded);
    // From the finished (or skipped) current line on: the next lines started until one speaks,
    // or the end. A walk that comes back to a line this conversation ran ends it.
    void Advance();
    void Finish();
    void LayOut(const std::vector<ConversationCharacter*>& side, bool left);

    // The lines the running conversation has started, spoken or skipped.
    std::vector<const Conversation*> mLinesRun;
};
