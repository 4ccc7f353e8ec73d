// The game's scene runner: construction, configuration, the journal's round trip, the bound
// callbacks and the game's block of the saved location.
#include "game/runner/mkw_gameplay.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/core/settings.h"
#include "framework/sound/audio_manager.h"
#include "framework/sound/sound_effect.h"
#include "framework/widgets/framework_button.h"
#include "game/effects/godray.h"
#include "game/entities/mkw_gameplay_event.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/inventory/mkw_gameplay_inventory.h"
#include "game/journal/gameplay_journal.h"
#include "game/minigames/hintboards/gameplay_hint_minigame.h"
#include "game/runner/mkw_gameplay_factory.h"
#include "platform/log.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_bind.h"
#include "script/lua_object_wrapper.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <new>
#include <utility>

namespace
{

const char kJournalPressed[] = "HudJournalPressed";
// The format's count and length bytes.
constexpr size_t kMaxSavedGoals = 255;
constexpr size_t kMaxSavedGoalLength = 255;

template <size_t Slot> void Forward(void* object, TM_Transform*, uint32_t)
{
    static_cast<MKWGameplay*>(object)->RunBoundCallback(Slot);
}

template <size_t... Slot>
std::array<Callback, sizeof...(Slot)> MakeBound(MKWGameplay* owner, std::index_sequence<Slot...>)
{
    return {Callback(owner, &Forward<Slot>)...};
}

int32_t StyleInt(TWindowStyle& style, const char* key)
{
    return ScriptNumberToInt(style.GetNumber(key, 0));
}

float StyleFloat(TWindowStyle& style, const char* key)
{
    return static_cast<float>(style.GetNumber(key, 0));
}

} // namespace

MKWGameplay::MKWGameplay()
    : mBound{Callback(nullptr, nullptr), Callback(nullptr, nullptr), Callback(nullptr, nullptr),
             Callback(nullptr, nullptr), Callback(nullptr, nullptr), Callback(nullptr, nullptr),
             Callback(nullptr, nullptr), Callback(nullptr, nullptr)}
{
    mPuzzleCompleteAlpha.mWidth = 1;
    mPuzzleCompleteLocus.mWidth = 2;
    mPuzzleCompleteSize.mWidth = 1;
    mPuzzleCompleteFader.SetAlpha(0.0f);
    mBound = MakeBound(this, std::make_index_sequence<kBoundCallbackCount>());
    ConstructHints();
    if (lua_State* L = GetWindowScriptState())
        LuaBindMember(L, kJournalPressed, this, &MKWGameplay::HudJournalPressed);
}

MKWGameplay::~MKWGameplay()
{
    // The location's record is written while the game's block can still be added to it.
    if (mSaveOnClose != 0)
        OnClose();
    if (lua_State* L = GetWindowScriptState())
        LuaUnbindMemberIfBound(L, kJournalPressed, this);
    if (AudioManager* audio = AudioManager::Instance())
    {
        if (mHintLoopLirae != 0)
            audio->Stop(static_cast<int32_t>(mHintLoopLirae), false);
        if (mHintLoopThessalor != 0)
            audio->Stop(static_cast<int32_t>(mHintLoopThessalor), false);
    }
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(&mHintItemMover);
        transforms->RemoveTransforms(&mMiniHintMover);
        transforms->RemoveTransforms(&mPuzzleCompleteFader);
        transforms->RemoveTransforms(mHintSnapshotFader.get());
        transforms->RemoveTransforms(mHintTokenMover.get());
        for (const std::shared_ptr<TM_Transform2D>& mover : mPulseMovers)
            transforms->RemoveTransforms(mover.get());
    }
    // The burst's and the token's reports go with the location that waits for them.
    StopWaiting();
}

TWindow* MKWGameplay::Create()
{
    return new (std::nothrow) MKWGameplay();
}

TClassId MKWGameplay::GetClassId()
{
    return reinterpret_cast<TClassId>(&MKWGameplay::Create);
}

std::shared_ptr<GameplayFactory> MKWGameplay::CreateFactory()
{
    return std::make_shared<MKWGameplayFactory>();
}

std::shared_ptr<GameplayInventory> MKWGameplay::CreateInventory(const TLuaTable& table,
                                                                const TLuaTable& inventoryInfo)
{
    return std::make_shared<MKWGameplayInventory>(table, inventoryInfo);
}

std::shared_ptr<GameplayEvent> MKWGameplay::CreateEvent(const TLuaTable& table)
{
    return std::make_shared<MKWGameplayEvent>(table);
}

void MKWGameplay::PostInit(TWindowStyle& style)
{
    mTimeHintToDestination = StyleInt(style, "timehinttodestination");
    mDistanceToInventoryArc = StyleFloat(style, "distancetoinventoryarc");
    mDistanceToItemArc = StyleFloat(style, "distancetoitemarc");
    mHintRotateToInventory = StyleFloat(style, "hintrotatetoinventory");
    mHintRotateToItem = StyleFloat(style, "hintrotatetoitem");
    mPulseDelay = StyleInt(style, "pulsedelay");
    mPulseDuration = StyleInt(style, "pulseduration");
    mPulseScale = StyleFloat(style, "pulsescale");
    mPuzzleCompleteFade = StyleInt(style, "puzzlecompletefade");
    mPuzzleCompleteTotal = StyleInt(style, "puzzlecompletetotal");

    mTooltipHintLiraeNoValidTarget = style.GetString("tooltiphintliraenovalidtarget", "");
    mTooltipHintThessalorNoValidTarget = style.GetString("tooltiphintthessalornovalidtarget", "");
    mTooltipMedallionLiraeNotAvailable = style.GetString("tooltipmedallionliraenotavailable", "");
    mTooltipMedallionLiraeAvailable = style.GetString("tooltipmedallionliraeavailable", "");
    mTooltipMedallionThessalorNotAvailable =
        style.GetString("tooltipmedallionthessalornotavailable", "");
    mTooltipMedallionThessalorAvailable = style.GetString("tooltipmedallionthessaloravailable", "");
    mJournalNoHint = style.GetString("journalnohint", "");

    mTimeHintShowDestination = static_cast<uint32_t>(style.GetInt("timehintshowdestination", 0));
    mTimeHintMiniShow = static_cast<uint32_t>(style.GetInt("timehintminishow", 0));
    mTimeHintToAddAppear = style.GetInt("timehinttoaddappear", 0);
    mTimeHintToAddMove = style.GetInt("timehinttoaddmove", 0);
    mScaleHintToAdd = StyleFloat(style, "scalehinttoadd");
    mRotationHintToAdd = StyleFloat(style, "rotationhinttoadd");
    mArcHintToAdd = StyleFloat(style, "archinttoadd");
    mTimeHintFade = style.GetInt("timehintfade", 0);
    mAlphaThessalorHintColor = StyleFloat(style, "alphathessalorhintcolor");
    mColorThessalorHint = style.GetColor("colorthessalorhint", 0, 0, 0, 1);
    mColorThessalorTooltip = style.GetColor("colorthessalortooltip", 0, 0, 0, 1);
    mAlphaLiraeHintColor = StyleFloat(style, "alphaliraehintcolor");
    mColorLiraeHint = style.GetColor("colorliraehint", 0, 0, 0, 1);
    mColorLiraeTooltip = style.GetColor("colorliraetooltip", 0, 0, 0, 1);

    // What the runner reads of its style, read together before the location loads.
    const int32_t pulses = StyleInt(style, "pulsecount");
    const TString pulseTexture = style.GetString("pulsetexture", "");
    std::unique_ptr<TLuaTable> godray = style.GetTableOnly("godray");
    const int32_t godrays = StyleInt(style, "godraycount");
    const TString lirae = style.GetString("particlepuzzlecompletelirae", "");
    const TString thessalor = style.GetString("particlepuzzlecompletethessalor", "");
    mParticleHintLiraeName = style.GetString("particlehintlirae", "");
    mParticleHintThessalorName = style.GetString("particlehintthessalor", "");
    mParticleHintLiraeSecondaryName = style.GetString("particlehintliraesecondary", "");
    mParticleHintThessalorSecondaryName = style.GetString("particlehintthessalorsecondary", "");
    mPuzzleCompleteDefaultPosition = TVec2(StyleFloat(style, "particlepuzzlecompletepositionx"),
                                           StyleFloat(style, "particlepuzzlecompletepositiony"));
    mPuzzleCompleteDefaultSize = StyleFloat(style, "particlepuzzlecompletesize");
    std::unique_ptr<TLuaTable> audio = style.GetTableOnly("audio");
    const std::unique_ptr<HintStyle> hints = ReadHintStyle(style);

    Gameplay::PostInit(style);

    TWindow* journal = FindChild("journal", 1);
    if (journal != nullptr && journal->IsKindOf(GameplayJournal::GetClassId()))
        mJournal = static_cast<GameplayJournal*>(journal);
    mHintWindowThessalor = dynamic_cast<GameplayHintMinigame*>(FindChild("hintthessalor", 1));
    mHintWindowLirae = dynamic_cast<GameplayHintMinigame*>(FindChild("hintlirae", 1));

    for (int32_t i = 0; i < pulses; ++i)
    {
        std::shared_ptr<TSprite> sprite = TSprite::Create(0);
        if (pulseTexture.Length() != 0)
            sprite->SetTexture(TTexture::Get(pulseTexture, 0));
        // A pulse grows about its middle, where the token is.
        if (const std::shared_ptr<TTexture>& texture = sprite->GetTexture())
        {
            sprite->GetSpec().mOrigin = TVec2(static_cast<float>(texture->GetWidth() / 2),
                                              static_cast<float>(texture->GetHeight() / 2));
            sprite->GetSpec().mFlags |= kDrawOrigin;
        }
        std::shared_ptr<TM_Transform2D> mover = MakePlacedMover(&sprite->GetSpec());
        mover->SetAlpha(0.0f);
        mPulseSprites.push_back(sprite);
        mPulseMovers.push_back(mover);
    }

    if (godray != nullptr)
    {
        for (int32_t i = 0; i < godrays; ++i)
        {
            const uint32_t seed = mRandom.Next();
            auto ray = std::make_shared<Godray>(*godray, seed);
            mGodrays.push_back(ray);
            ray->Randomise();
        }
    }

    BuildHints(*hints);

    for (TLuaParticleSystem* system : {&mPuzzleCompleteLirae, &mPuzzleCompleteThessalor})
    {
        system->RegisterNodeType("ColorAdjust", &ParticleColorAdjust::Create);
        system->RegisterFunction("dAlpha", &mPuzzleCompleteAlpha);
        system->RegisterFunction("dSize", &mPuzzleCompleteSize);
        system->RegisterFunction("dLocus", &mPuzzleCompleteLocus);
    }
    if (lirae.Length() != 0)
        mPuzzleCompleteLirae.Load(lirae);
    if (thessalor.Length() != 0)
        mPuzzleCompleteThessalor.Load(thessalor);

    if (audio == nullptr)
        return;
    const std::pair<const char*, std::shared_ptr<SoundEffect>*> effects[] = {
        {"showhintselect", &mSoundShowHintSelect},
        {"itemclicklirae", &mSoundItemClickLirae},
        {"itemclickthessalor", &mSoundItemClickThessalor},
        {"hintshowlirae", &mSoundHintShowLirae},
        {"hintshowthessalor", &mSoundHintShowThessalor}};
    for (const auto& [key, effect] : effects)
        if (std::unique_ptr<TLuaTable> table{audio->GetTable(key)})
            *effect = SoundEffect::Create(*table);
    AudioManager* manager = AudioManager::Instance();
    const TString loopLirae = audio->GetString("soundhintlirae");
    if (manager != nullptr && loopLirae.Length() != 0)
        mHintLoopLirae = static_cast<uint32_t>(manager->Play(loopLirae, false));
    const TString loopThessalor = audio->GetString("soundhintthessalor");
    if (manager != nullptr && loopThessalor.Length() != 0)
        mHintLoopThessalor = static_cast<uint32_t>(manager->Play(loopThessalor, false));
}

MKWGameplayHud* MKWGameplay::GetGameHud() const
{
    if (mHud == nullptr || !mHud->IsKindOf(MKWGameplayHud::GetClassId()))
        return nullptr;
    return static_cast<MKWGameplayHud*>(mHud);
}

void MKWGameplay::BlockHud()
{
    if (mHud == nullptr)
        return;
    mHud->SetButtonsEnabled(false);
    if (MKWGameplayHud* hud = GetGameHud())
        if (TVButton* button = hud->GetJournalButton())
            button->SetEnabled(false, true);
}

// The journal.

void MKWGameplay::HudJournalPressed()
{
    OpenJournal(TString());
}

void MKWGameplay::OpenJournal(const TString& note)
{
    if (mGameplayState == kTutorial)
    {
        mJournalPressPending = true;
        return;
    }
    if (mGameplayState != kPlay)
        return;
    if (mJournal == nullptr)
    {
        Log("ERROR: The location has no journal to open");
        return;
    }
    std::vector<GameplayArea*> areas;
    for (const std::shared_ptr<GameplayScene>& scene : mScenes)
        for (GameplayArea* area : scene->GetAreas())
            if (area != nullptr && (area->GetFlags() & GameplayEntity::kActive) != 0)
                areas.push_back(area);
    mGameplayState = kJournal;
    std::vector<GameplayInventory*> shown;
    if (mHud != nullptr)
        shown = mHud->GetShownInventory();
    mJournal->Open(shown, areas, mJournalGoals, &mBound[kJournalClosed], note);
    BlockHud();
}

void MKWGameplay::RunBoundCallback(size_t slot)
{
    switch (slot)
    {
    case kJournalClosed:
        OnJournalClosed();
        break;
    case kThessalorMinigameExit:
    case kLiraeMinigameExit:
        OnMinigameExit(slot == kLiraeMinigameExit ? 2 : 1);
        break;
    case kThessalorHintEarned:
    case kLiraeHintEarned:
        OnHintEarned(slot == kLiraeHintEarned ? 2 : 1);
        break;
    case kThessalorTokenMove:
    case kLiraeTokenMove:
        OnTokenMove(slot == kLiraeTokenMove ? 2 : 1);
        break;
    case kCrazyClick:
        StartCrazyClickPenalty();
        break;
    default:
        break;
    }
}

void MKWGameplay::OnJournalClosed()
{
    if (mHud != nullptr)
    {
        mHud->SetButtonsEnabled(true);
        if (MKWGameplayHud* hud = GetGameHud())
            if (TVButton* button = hud->GetJournalButton())
                button->SetEnabled(true, true);
    }
    mGameplayState = kPlay;
}

// The saved state.

void MKWGameplay::SaveExtraState(std::vector<uint8_t>& out)
{
    out.push_back(static_cast<uint8_t>(mLastUsedCharacter & 0xFF));
    const size_t count = std::min(mJournalGoals.size(), kMaxSavedGoals);
    bool cut = count < mJournalGoals.size();
    out.push_back(static_cast<uint8_t>(count));
    for (size_t i = 0; i < count; ++i)
    {
        const TString& goal = mJournalGoals[i];
        const size_t length =
            std::min<size_t>(static_cast<size_t>(goal.Length()), kMaxSavedGoalLength);
        cut = cut || length < static_cast<size_t>(goal.Length());
        out.push_back(static_cast<uint8_t>(length));
        out.insert(out.end(), goal.c_str(), goal.c_str() + length);
    }
    if (cut)
        Log("ERROR: %zu journal goals saved as the first %zu, each of at most %zu bytes",
            mJournalGoals.size(), count, kMaxSavedGoalLength);
}

void MKWGameplay::LoadExtraState(const uint8_t* data, size_t size)
{
    // Read whole before anything changes: a block that does not fit restores no part of it.
    std::vector<TString> goals;
    bool fits = data != nullptr && size >= 2;
    size_t at = 2;
    for (size_t i = 0; fits && i < data[1]; ++i)
    {
        if (at >= size || size - at - 1 < data[at])
        {
            fits = false;
            break;
        }
        const size_t length = data[at];
        goals.emplace_back(reinterpret_cast<const char*>(data + at + 1),
                           static_cast<unsigned>(length));
        at += 1 + length;
    }
    if (!fits)
    {
        Log("ERROR: The location's saved journal block is damaged (%zu bytes); no character, no "
            "goals",
            size);
        mLastUsedCharacter = 0;
        mJournalGoals.clear();
        return;
    }
    mLastUsedCharacter = data[0];
    mJournalGoals = std::move(goals);
}

TString MKWGameplay::DescribeGameplayState() const
{
    switch (mGameplayState)
    {
    case kJournal:
        return "in the journal";
    case kThessalorMinigame:
        return "on Thessalor's hint board";
    case kLiraeMinigame:
        return "on Lirae's hint board";
    case kThessalorHintShown:
        return "showing Thessalor's hint";
    case kLiraeHintShown:
        return "showing Lirae's hint";
    default:
        return Gameplay::DescribeGameplayState();
    }
}
