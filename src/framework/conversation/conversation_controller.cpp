// The conversation controller: building it from the two tables, starting lines and laying the
// characters out, the line and slide callbacks, the end, pausing and drawing the scrim and the
// characters.
#include "framework/conversation/conversation_controller.h"

#include "framework/sound/audio_manager.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_instructions.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "render/renderer/vertex_set.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace
{
constexpr int32_t kScreenWidth = 800;
constexpr float kSmoothing = -0.5f;
constexpr uint32_t kTriangleList = 4;

void OnLineDoneThunk(void* object, TM_Transform*, uint32_t)
{
    static_cast<ConversationController*>(object)->OnLineDone();
}

void OnSpeakerArrivedThunk(void* object, TM_Transform*, uint32_t)
{
    static_cast<ConversationController*>(object)->OnSpeakerArrived();
}

void OnSlideOutDoneThunk(void* object, TM_Transform* target, uint32_t)
{
    static_cast<ConversationController*>(object)->OnSlideOutDone(target);
}

bool Contains(const std::vector<TString>& names, const TString& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Takes the character out of the list and puts it first; false when it is not in the list.
bool BringToFront(std::vector<ConversationCharacter*>& side, ConversationCharacter* character)
{
    auto it = std::find(side.begin(), side.end(), character);
    if (it == side.end())
        return false;
    side.erase(it);
    side.insert(side.begin(), character);
    return true;
}

void FadeScrim(TM_Transform2D& scrim, float to, int32_t ms)
{
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
        return;
    auto* list = new TM_InstructionList;
    list->push_back(
        new TM_Alpha(static_cast<uint32_t>(std::max(ms, 0)), to, kFromCurrent, 0, kSmoothing));
    manager->RemoveTransforms(&scrim);
    manager->AddTransform(&scrim, list);
}
} // namespace

ConversationController::ConversationController(const TLuaTable& conversationsTable,
                                               const TLuaTable& characterTable)
    : mLineDoneCallback(nullptr, nullptr), mSpeakCallback(nullptr, nullptr),
      mSlideOutCallback(nullptr, nullptr), mScrimSpec(TVec2(), 0.0f), mScrimTransform(&mScrimSpec)
{
    std::unique_ptr<TLuaTable> scrim(characterTable.GetTable("scrim"));
    if (scrim == nullptr)
    {
        ReportError("No scrim table for ConversationController", __FILE__, __LINE__, true);
        return;
    }
    std::unique_ptr<TLuaTable> info(characterTable.GetTable("conversation_info"));
    if (info == nullptr)
    {
        ReportError("No conversation_info table for ConversationController", __FILE__, __LINE__,
                    true);
        return;
    }
    AddConversations(conversationsTable, characterTable, *info);

    mLineDoneCallback = Callback(this, &OnLineDoneThunk);
    mSpeakCallback = Callback(this, &OnSpeakerArrivedThunk);
    mSlideOutCallback = Callback(this, &OnSlideOutDoneThunk);
    mLoaded = true;
    mMaxAlpha = static_cast<float>(scrim->GetNumber("maxalpha"));
    mFadeTime = ScriptNumberToInt(scrim->GetNumber("fadetime"));

    const TString scrimName = scrim->GetString("scrim");
    if (scrimName.Length() > 0)
    {
        mScrimImage = TTexture::Get(scrimName, 0);
        mScrimSpec.mMatrix.m[2][0] = 0;
        mScrimSpec.mMatrix.m[2][1] = 0;
        mScrimSpec.mOrigin = TVec2(0, 0);
        mScrimSpec.mFlags |= kDrawOrigin;
    }
    else
    {
        const float corners[4][2] = {{0, 0}, {800, 0}, {800, 600}, {0, 600}};
        for (int i = 0; i < 4; ++i)
        {
            mScrimQuad[i] = ConversationScrimVertex();
            mScrimQuad[i].mX = corners[i][0];
            mScrimQuad[i].mY = corners[i][1];
            mScrimQuad[i].mRhw = 0.5f;
            mScrimQuad[i].mDiffuse = TColor(0, 0, 0, 0).GetPacked();
        }
    }
    mCharacterSpacing = ScriptNumberToInt(characterTable.GetNumber("characterspacing"));

    if (AudioManager* audio = AudioManager::Instance())
    {
        const TString enter = characterTable.GetString("soundenter");
        if (enter.Length() > 0)
            mSoundEnter = audio->Play(enter, false);
        const TString leave = characterTable.GetString("soundexit");
        if (leave.Length() > 0)
            mSoundExit = audio->Play(leave, false);
    }
}

ConversationController::~ConversationController()
{
    if (AudioManager* audio = AudioManager::Instance())
    {
        if (mSoundEnter != 0)
            audio->Stop(mSoundEnter, false);
        if (mSoundExit != 0)
            audio->Stop(mSoundExit, false);
    }
    if (TransformManager* manager = TransformManager::Instance())
        manager->RemoveTransforms(&mScrimTransform);
    mScrimImage.reset();
    mLeftCharacters.clear();
    mRightCharacters.clear();
    mCurrent = nullptr;
    mSpeaker = nullptr;
    mConversations.clear();
    mCharacters.clear();
}

void ConversationController::AddConversations(const TLuaTable& conversationsTable,
                                              const TLuaTable& characterTable,
                                              const TLuaTable& conversationInfo)
{
    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* entry = conversationsTable.Next(&key))
    {
        std::unique_ptr<TLuaTable> owned(entry);
        const TString name = key->ToString();
        if (HasConversation(name))
        {
            ReportError("Trying to add duplicate Conversation.", __FILE__, __LINE__, false);
            continue;
        }
        auto conversation = std::make_shared<Conversation>(*entry, conversationInfo);
        mConversations[name] = conversation;
        for (const auto* list :
             {&conversation->mCharactersToHide, &conversation->mCharactersToShow})
            for (const TString& character : *list)
                if (!HasCharacter(character))
                    LoadCharacter(character, characterTable);
    }
}

void ConversationController::LoadCharacter(const TString& name, const TLuaTable& characterTable)
{
    std::unique_ptr<TLuaTable> table(characterTable.GetTable(name.c_str()));
    if (table == nullptr)
    {
        ReportError(TString::Format("Cannot find character '%s'.", name.c_str()).c_str(), __FILE__,
                    __LINE__, true);
        return;
    }
    std::unique_ptr<TLuaTable> info(characterTable.GetTable("info"));
    if (info == nullptr)
    {
        ReportError("Cannot find info table for ConversationController.", __FILE__, __LINE__, true);
        return;
    }
    mCharacters[name] = std::make_shared<ConversationCharacter>(*table, *info);
}

bool ConversationController::HasConversation(const TString& name) const
{
    for (const auto& [key, conversation] : mConversations)
        if (key == name)
            return true;
    return false;
}

bool ConversationController::HasCharacter(const TString& name) const
{
    for (const auto& [key, character] : mCharacters)
        if (key == name)
            return true;
    return false;
}

ConversationCharacter* ConversationController::FindCharacter(const TString& name) const
{
    auto it = mCharacters.find(name);
    return it != mCharacters.end() ? it->second.get() : nullptr;
}

// ---- running ----

void ConversationController::StartConversation(const TString& name, Callback* onAllGone,
                                               const TString& followUp, Callback* onEnded)
{
    mLinesRun.clear();
    if (StartLine(name, onAllGone, followUp, onEnded) == LineStart::kSkipped)
        Advance();
}

ConversationController::LineStart ConversationController::StartLine(const TString& name,
                                                                    Callback* onAllGone,
                                                                    const TString& followUp,
                                                                    Callback* onEnded)
{
    Conversation* found = nullptr;
    for (const auto& [key, conversation] : mConversations)
        if (key == name)
        {
            found = conversation.get();
            break;
        }
    if (found == nullptr)
    {
        ReportError(TString::Format("Cannot find conversation '%s'.", name.c_str()).c_str(),
                    __FILE__, __LINE__, true);
        return LineStart::kUnknown;
    }
    mCurrent = found;
    mLinesRun.push_back(found);
    mSpeaker = FindCharacter(found->mSpeaker);

    for (const TString& hidden : found->mCharactersToHide)
        HideCharacter(hidden);
    for (const TString& shown : found->mCharactersToShow)
        ShowCharacter(shown);
    if (!BringToFront(mLeftCharacters, mSpeaker))
        BringToFront(mRightCharacters, mSpeaker);

    // Those hidden by this line are sliding out and take no place.
    auto staying = [found](std::vector<ConversationCharacter*> side)
    {
        std::erase_if(side, [found](ConversationCharacter* c)
                      { return Contains(found->mCharactersToHide, c->mName); });
        return side;
    };
    const std::vector<ConversationCharacter*> left = staying(mLeftCharacters);
    const std::vector<ConversationCharacter*> right = staying(mRightCharacters);
    // The speaker is told it arrived only when it takes a place in this layout.
    const bool speaks =
        mSpeaker != nullptr && (std::find(left.begin(), left.end(), mSpeaker) != left.end() ||
                                std::find(right.begin(), right.end(), mSpeaker) != right.end());
    LayOut(left, true);
    LayOut(right, false);

    mOnAllGone = onAllGone;
    mFollowUp = followUp;
    mOnEnded = onEnded;
    FadeScrim(mScrimTransform, mMaxAlpha, mFadeTime);
    if (speaks)
        return LineStart::kSpeaks;
    // A speaker no character stands for is told apart from one that has walked off.
    const TString why =
        mSpeaker != nullptr
            ? TString()
            : TString::Format(" No character '%s' was loaded: \"characterinfo\" lacks it, or no "
                              "line's \"characterstoshow\" names it.",
                              found->mSpeaker.c_str());
    ReportError(TString::Format("Conversation '%s': its speaker '%s' is not on screen; the line "
                                "is skipped.%s",
                                name.c_str(), found->mSpeaker.c_str(), why.c_str())
                    .c_str(),
                __FILE__, __LINE__, false);
    return LineStart::kSkipped;
}

void ConversationController::LayOut(const std::vector<ConversationCharacter*>& side, bool left)
{
    if (side.empty())
        return;
    const auto n = static_cast<int32_t>(side.size());
    const float home = left ? side.front()->mXHome : side.back()->mXHome;
    // Signed throughout: a negative spacing or a place past the left edge stays what it is.
    const int64_t spread = static_cast<int64_t>(n - 1) * mCharacterSpacing;
    const int32_t sum = ScriptNumberToInt(static_cast<double>(spread) + static_cast<double>(home));
    const int64_t step = static_cast<int64_t>(sum / n) + mCharacterSpacing;
    for (int32_t k = 1; k <= n; ++k)
    {
        ConversationCharacter* character = side[static_cast<size_t>(n - k)];
        const int64_t offset = k * step;
        const int64_t x = left ? offset : kScreenWidth - offset;
        character->SlideTo(static_cast<float>(x),
                           character == mSpeaker ? &mSpeakCallback : nullptr);
    }
}

void ConversationController::ShowCharacter(const TString& name)
{
    ConversationCharacter* c = FindCharacter(name);
    // A character that failed to load was reported then.
    if (c == nullptr)
        return;
    std::vector<ConversationCharacter*>& side = c->mLeft ? mLeftCharacters : mRightCharacters;
    auto it = std::find_if(side.begin(), side.end(),
                           [c](ConversationCharacter* o) { return o->mGroup == c->mGroup; });
    if (it == side.end())
    {
        side.push_back(c);
        return;
    }
    ConversationCharacter* o = *it;
    c->mPortraitTransform.SetX(o->mPortraitTransform.GetX());
    o->PlaceOffscreen();
    *it = c;
}

void ConversationController::HideCharacter(const TString& name)
{
    for (auto* side : {&mLeftCharacters, &mRightCharacters})
        for (ConversationCharacter* c : *side)
            if (c->mName == name)
            {
                c->SlideOut(&mSlideOutCallback);
                return;
            }
    ReportError(TString::Format("Cannot find character to hide. '%s'", name.c_str()).c_str(),
                __FILE__, __LINE__, false);
}

void ConversationController::OnSpeakerArrived()
{
    if (mSpeaker != nullptr && mCurrent != nullptr)
        mSpeaker->Speak(mCurrent->mText, mCurrent->mSound, &mLineDoneCallback);
}

void ConversationController::OnLineDone()
{
    Advance();
}

void ConversationController::Advance()
{
    // Lines are started here one after another rather than from inside each other, so a long
    // chain of skipped lines cannot deepen the stack.
    for (;;)
    {
        TString next = mCurrent != nullptr ? mCurrent->mNext : TString();
        if (next.Length() == 0)
        {
            next = mFollowUp;
            mFollowUp = TString();
            // The follow-up is a conversation of its own: its lines may repeat those before it.
            mLinesRun.clear();
        }
        if (next.Length() == 0)
        {
            Finish();
            return;
        }
        // A misspelt next line is content to mend, not a reason to end the game: the
        // conversation ends where its lines run out, and what started it goes on.
        const auto found = mConversations.find(next);
        if (found == mConversations.end())
        {
            ReportError(
                TString::Format("Cannot find conversation '%s'; it is skipped", next.c_str())
                    .c_str(),
                __FILE__, __LINE__, false);
            Finish();
            return;
        }
        // Each line leads to one next line only: back at a line it has run, the conversation
        // would go round for ever, taking every click of the player (the load said so). It ends
        // where it comes round again.
        if (std::find(mLinesRun.begin(), mLinesRun.end(), found->second.get()) != mLinesRun.end())
        {
            Finish();
            return;
        }
        if (StartLine(next, mOnAllGone, TString(), mOnEnded) != LineStart::kSkipped)
            return;
    }
}

void ConversationController::Finish()
{
    Callback* ended = mOnEnded;
    mOnEnded = nullptr;
    EndConversation();
    if (AudioManager* audio = AudioManager::Instance(); audio != nullptr && mSoundExit != 0)
        audio->PlayIndex(mSoundExit);
    if (ended != nullptr)
        ended->Call(nullptr, 0);
}

void ConversationController::EndConversation()
{
    // A slide-out that ends at once takes its character out of the list under this walk.
    for (auto* side : {&mLeftCharacters, &mRightCharacters})
    {
        const std::vector<ConversationCharacter*> walk = *side;
        for (ConversationCharacter* c : walk)
            c->SlideOut(&mSlideOutCallback);
    }
    if (mLoaded)
        FadeScrim(mScrimTransform, 0, mFadeTime);
}

void ConversationController::OnSlideOutDone(TM_Transform* target)
{
    for (auto* side : {&mLeftCharacters, &mRightCharacters})
    {
        auto it = std::find_if(side->begin(), side->end(),
                               [target](ConversationCharacter* c)
                               { return &c->mPortraitTransform == target; });
        if (it != side->end())
            side->erase(it);
    }
    if (mLeftCharacters.empty() && mRightCharacters.empty())
    {
        Callback* gone = mOnAllGone;
        mOnAllGone = nullptr;
        if (gone != nullptr)
            gone->Call(nullptr, 0);
    }
}

void ConversationController::OnMouseDown()
{
    ConversationCharacter* speaking = nullptr;
    for (auto* side : {&mLeftCharacters, &mRightCharacters})
        for (ConversationCharacter* c : *side)
            if (c->mSpeaking)
                speaking = c;
    if (speaking == nullptr)
        return;
    speaking->CutVoice();
    speaking->FinishLine();
}

void ConversationController::Pause()
{
    for (auto* side : {&mLeftCharacters, &mRightCharacters})
        for (ConversationCharacter* c : *side)
            c->Pause();
    if (TransformManager* manager = TransformManager::Instance())
        manager->PauseTransforms(&mScrimTransform);
}

void ConversationController::Resume()
{
    for (auto* side : {&mLeftCharacters, &mRightCharacters})
        for (ConversationCharacter* c : *side)
            c->Resume();
    if (TransformManager* manager = TransformManager::Instance())
        manager->ResumeTransforms(&mScrimTransform);
}

void ConversationController::Draw(const TDrawSpec& spec)
{
    for (auto* side : {&mLeftCharacters, &mRightCharacters})
        for (auto it = side->rbegin(); it != side->rend(); ++it)
            (*it)->Draw(spec);
}

void ConversationController::DrawScrim(const TDrawSpec& spec)
{
    const float alpha = mScrimSpec.mAlpha;
    if (!mLoaded || !(alpha > 0))
        return;
    if (mScrimImage != nullptr)
    {
        mScrimImage->Draw(mScrimSpec.Combine(spec));
        return;
    }
    const auto byte = static_cast<uint8_t>(
        static_cast<int64_t>(std::trunc(static_cast<double>(spec.mAlpha * alpha * 255.0f))) & 0xFF);
    ConversationScrimVertex quad[4];
    for (int i = 0; i < 4; ++i)
    {
        quad[i] = mScrimQuad[i];
        TColor colour(quad[i].mDiffuse);
        colour.SetA(byte);
        quad[i].mDiffuse = colour.GetPacked();
        quad[i].mX += spec.mMatrix.m[2][0];
        quad[i].mY += spec.mMatrix.m[2][1];
        quad[i].mZ += spec.mMatrix.m[2][2];
    }
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    renderer->End2d();
    renderer->Begin2d();
    TVertexSet* set = TVertexSet::CreateColored(quad, 4);
    renderer->DrawIndexedVertices(kTriangleList, *set, mScrimIndices, 6);
    TVertexSet::Release(set);
}
