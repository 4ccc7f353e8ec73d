// Map: reading the style, the overlay over the gameplay screen, the full map's timeline (large map,
// zoom, vignette and route reveal, done), the lightning, the three script functions and drawing
// by state.
#include "framework/adventure/map/map.h"

#include "framework/adventure/dialog_window.h"
#include "framework/adventure/player_data.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/core/window_manager.h"
#include "framework/sound/audio_manager.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/text_object.h"
#include "particles/lua_particle_system.h"
#include "platform/log.h"
#include "platform/strings/number_pattern.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_bind.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace
{

const char kSourceName[] = "map";
const char* const kScriptFunctions[] = {"MapButtonPress", "PauseMap", "ResumeMap"};
constexpr float kSmoothing = -0.5f;
constexpr float kLinear = 1.0f;
constexpr int32_t kFocusLost = kUserMessageBase + 1;
constexpr int32_t kFocusBack = kUserMessageBase + 2;

// A time of the style in whole milliseconds: missing, negative or NaN 0, huge values capped.
uint32_t StyleMs(const TWindowStyle& style, const char* key)
{
    double value = style.GetNumber(key, 0);
    return value > 0 ? static_cast<uint32_t>(std::fmin(value, 4294967295.0)) : 0u;
}

float ReadFloat(const TLuaTable& table, const char* key, float def = 0)
{
    return static_cast<float>(table.GetNumber(key, def));
}

} // namespace

Map::Map()
    : mLargeMap(TSprite::Create(0)), mRoute(TSprite::Create(0)), mOverlayTransform(&mOverlaySpec),
      mMarkerTransform(&mMarkerSpec), mLargeMapTransform(&mLargeMap->GetSpec()),
      mLocus(std::make_shared<ParticleVector>()), mLightning(TSprite::Create(0))
{
    mLocus->mWidth = 2;
    AddFlagBits(kWindowFocusable);
    if (TWindowManager* manager = GetWindowManager())
        manager->SetFocus(this);
}

Map::~Map()
{
    if (lua_State* L = GetWindowScriptState())
        for (const char* name : kScriptFunctions)
            LuaUnbindMemberIfBound(L, name, this);
    if (TransformManager* transforms = TransformManager::Instance())
        for (TM_Transform* target : Transforms())
            transforms->RemoveTransforms(target);
    mTravel.reset();
    mTexts.clear();
}

TWindow* Map::Create()
{
    return new Map();
}

TClassId Map::GetClassId()
{
    return reinterpret_cast<TClassId>(&Map::Create);
}

void Map::PostInit(TWindowStyle& style)
{
    GameWindow::PostInit(style);
    PlayerData* record = PlayerData::Instance();
    const uint8_t location = record != nullptr ? record->GetLocation() : 0;
    const int n = location + 1;

    std::shared_ptr<TTexture> dot = TTexture::Get(style.GetString("dot", ""), 0);
    std::unique_ptr<TLuaTable> dots = style.GetTableOnly("dots");
    if (dots == nullptr)
        return ReportError("ERROR: No dots table for Map!", kSourceName, 60, true);
    std::unique_ptr<TLuaTable> locations = style.GetTableOnly("locations");
    if (locations == nullptr)
        return ReportError("ERROR: No locations table for Map!", kSourceName, 66, true);
    std::unique_ptr<TLuaTable> travels = style.GetTableOnly("travel");
    if (travels == nullptr)
        return ReportError("ERROR: No travel table for Map!", kSourceName, 72, true);
    std::unique_ptr<TLuaTable> modifiers = style.GetTableOnly("modifiers");
    if (modifiers == nullptr)
        return ReportError("ERROR: No modifiers table for Map!", kSourceName, 78, true);
    std::unique_ptr<TLuaTable> here(
        locations->GetTable(TString::Format("location%02d", n).c_str()));
    if (here == nullptr)
        return ReportError(
            TString::Format("ERROR: No location data for location %02d! The map's \"locations\" "
                            "(scripts/map.lua) have no \"location%02d\", the stop of the "
                            "player's location byte %d",
                            n, n, n - 1)
                .c_str(),
            kSourceName, 85, true);
    TString travelName = here->GetString("travel", "");
    std::unique_ptr<TLuaTable> entry(travels->GetTable(travelName.c_str()));
    if (entry == nullptr)
        return ReportError(travelName.c_str(), kSourceName, 90, true);

    // The large map scales about the location's centre.
    const TVec2 centre(ReadFloat(*here, "largecenterx"), ReadFloat(*here, "largecentery"));
    mLargeMap->SetTexture(TTexture::Get(style.GetString("largemap", ""), 0));
    mLargeMap->GetSpec().mOrigin = centre;
    mLargeMap->GetSpec().mFlags |= kDrawOrigin;
    mLargeMapTransform.SetPosition(centre.x, centre.y, 0);
    // The locations already visited.
    for (int i = 1; i < n; ++i)
    {
        std::unique_ptr<TLuaTable> visited(
            locations->GetTable(TString::Format("location%02d", i).c_str()));
        if (visited == nullptr)
            continue;
        std::shared_ptr<TSprite> mark = TSprite::Create(1, dot);
        mark->GetSpec().mMatrix.m[2][0] = ReadFloat(*visited, "x") - centre.x;
        mark->GetSpec().mMatrix.m[2][1] = ReadFloat(*visited, "y") - centre.y;
        mLargeMap->AddChild(mark);
    }

    mTravel = std::make_shared<MapTravel>(*entry, location);
    // Its fatal report ran a script statement, which may have released the style's table.
    if (!mTravel->IsComplete())
        return;

    const TString path = style.GetString("path", "");
    TString route;
    if (path.Length() != 0 && !FormatNumberPattern(path, n - 1, route))
        Log("Map: the \"path\" pattern '%s' does not name one number; no route picture",
            path.c_str());
    if (route.Length() != 0)
        mRoute->SetTexture(TTexture::Get(route, 0));
    mRoute->GetSpec().mOrigin = TVec2(0, 0);
    mRoute->GetSpec().mMatrix.m[2][0] = ReadFloat(*here, "pathx");
    mRoute->GetSpec().mMatrix.m[2][1] = ReadFloat(*here, "pathy");
    mRoute->GetSpec().mSourceRect = TRect(0, 0, 0, 0);
    mRoute->GetSpec().mFlags |= kDrawSourceRect | kDrawOrigin;
    mDirection = ScriptNumberToInt(here->GetNumber("direction", 0));
    if (std::unique_ptr<TLuaTable> texts{here->GetTable("text")})
        for (int i = 1;; ++i)
        {
            std::unique_ptr<TLuaTable> text(texts->GetTableAt(i));
            if (text == nullptr)
                break;
            mTexts.push_back(TextObject::Create(*text));
        }

    mTimeShowLargeMap = MapTravel::ReadMs(*modifiers, "timeshowlargemap");
    mTimeMapCrossfade = MapTravel::ReadMs(*modifiers, "timemapcrossfade");
    mTimeScreenFade = MapTravel::ReadMs(*modifiers, "timescreenfade");
    mScaleMapLarge = ReadFloat(*here, "scalemaplarge", 1.0f);

    // Loading is no frame step.
    if (DeltaTime* clock = DeltaTime::Instance())
    {
        clock->SetStep(0);
        clock->SkipNext();
        clock->SetFrameTime(DeltaTime::Now());
    }
    if (record != nullptr)
    {
        record->SetGameState(PlayerData::kOnMap);
        record->RequestSave();
    }

    TModalWindow* own = FindModalParent();
    TModalWindow* below = own != nullptr ? own->FindModalParent() : nullptr;
    if (below != nullptr && below->GetName() == "gameplay")
    {
        mMapState = kOverlay;
        mOverlayTransform.SetAlpha(0);
        for (TVButton* button : Buttons())
        {
            button->SetAlpha(0);
            button->SetEnabled(false, true);
        }
        if (TransformManager* transforms = TransformManager::Instance())
        {
            auto* list = new TM_InstructionList;
            list->push_back(new TM_Alpha(mTimeScreenFade, 1.0f, kFromCurrent, 0, kSmoothing));
            transforms->AddTransform(&mOverlayTransform, list, nullptr,
                                     new Callback(this, &Map::OnOverlayDone));
        }
        else
        {
            mOpenFullMapDue = true;
        }
    }
    else
    {
        mOwnsScriptFunctions = true;
    }

    if (std::unique_ptr<TLuaTable> particles = style.GetTableOnly("particles"))
    {
        mParticles = std::make_shared<TLuaParticleSystem>();
        mLocus->mValue[0] = ReadFloat(*particles, "xoffset");
        mLocus->mValue[1] = ReadFloat(*particles, "yoffset");
        mParticles->RegisterFunction("dLocus", mLocus.get());
        mParticles->Load(particles->GetString("script", ""));
    }

    TString scrim = style.GetString("lightningscrim", "");
    if (scrim.Length() != 0)
    {
        mLightning->SetTexture(TTexture::Get(scrim, 0));
        mLightning->GetSpec().mFlags ^= kDrawOrigin;
        mTimeStayFlashed = StyleMs(style, "timestayflashed");
        mMaxLightningAlpha = static_cast<float>(style.GetNumber("maxlightningalpha", 0));
        mMinBetweenStrikes = StyleMs(style, "mintimebetweenstrikes");
        mMaxBetweenStrikes = StyleMs(style, "maxtimebetweenstrikes");
        if (std::unique_ptr<TLuaTable> colour = style.GetTableOnly("scrimcolor"))
        {
            TVec4& c = mLightning->GetSpec().mColor;
            c.x = static_cast<float>(colour->GetNumberAt(1, 0) / 255.0);
            c.y = static_cast<float>(colour->GetNumberAt(2, 0) / 255.0);
            c.z = static_cast<float>(colour->GetNumberAt(3, 0) / 255.0);
        }
        if (AudioManager* audio = AudioManager::Instance())
            mLightningSound = audio->Play(style.GetString("lightningsound", ""), false);
        // A map without its flash image has no strikes at all.
        mHasLightning = mLightning->GetTexture() != nullptr;
        std::srand(static_cast<unsigned>(std::time(nullptr)));
        mUntilStrike = NextStrikeInterval();
    }

    BindScriptFunctions();
    TString fadeOut = style.GetString("fadeout", "");
    if (fadeOut.Length() != 0)
        GameWindow::FadeOut(fadeOut);
}

void Map::BindScriptFunctions()
{
    lua_State* L = GetWindowScriptState();
    if (L == nullptr)
        return;
    LuaBindMember(L, "MapButtonPress", this, &Map::MapButtonPress);
    LuaBindMember(L, "PauseMap", this, &Map::PauseMap);
    LuaBindMember(L, "ResumeMap", this, &Map::ResumeMap);
}

int32_t Map::NextStrikeInterval() const
{
    // An interval of max − min would divide by zero when the two are equal.
    if (mMaxBetweenStrikes <= mMinBetweenStrikes)
        return static_cast<int32_t>(mMinBetweenStrikes);
    const uint32_t spread = mMaxBetweenStrikes - mMinBetweenStrikes;
    return static_cast<int32_t>(mMinBetweenStrikes + static_cast<uint32_t>(std::rand()) % spread);
}

std::vector<TVButton*> Map::Buttons() const
{
    std::vector<TVButton*> buttons;
    for (TWindow* child : GetChildren())
        if (TVButton* button = TVButton::Cast(child))
            buttons.push_back(button);
    return buttons;
}

void Map::DisableButtons()
{
    for (TVButton* button : Buttons())
        button->SetEnabled(false, true);
}

bool Map::Animate()
{
    if (mOpenFullMapDue)
    {
        mOpenFullMapDue = false;
        OpenFullMap();
        return true;
    }
    Update();
    return GameWindow::Animate();
}

void Map::Update()
{
    if (mState != kIdle || mPaused)
        return;
    DeltaTime* clock = DeltaTime::Instance();
    const uint32_t step = clock != nullptr ? clock->GetStep() : 0;
    if (mTravel != nullptr)
        mTravel->Update();
    if (mParticles != nullptr)
        mParticles->Update(static_cast<int32_t>(step));
    StepLightning(step);

    if (mMapState == kLargeMap)
    {
        mTimer += step;
        if (mTimer >= mTimeShowLargeMap)
        {
            mTimer = 0;
            mMapState = kZooming;
            StartZoom();
        }
    }
    if (mMapState == kTravelling)
        RevealRoute();
}

void Map::StepLightning(uint32_t step)
{
    if (!mHasLightning)
        return;
    mUntilStrike -= static_cast<int32_t>(step);
    mSinceStrike += step;
    if (mUntilStrike < 1)
    {
        mLightningAlpha = mMaxLightningAlpha;
        mUntilStrike = NextStrikeInterval();
        if (AudioManager* audio = AudioManager::Instance())
            audio->PlayIndex(mLightningSound);
        mSinceStrike = 0;
    }
    else if (mLightningAlpha != 0 && mSinceStrike > mTimeStayFlashed)
    {
        mLightningAlpha = 0;
        mSinceStrike = 0;
    }
}

void Map::StartZoom()
{
    if (mTravel != nullptr)
        mTravel->FadeInLayer(mTimeMapCrossfade);
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Scale(mTimeMapCrossfade, mScaleMapLarge, kFromCurrent, 0, kSmoothing));
    transforms->AddTransform(&mLargeMapTransform, list, nullptr,
                             new Callback(this, &Map::OnZoomDone));
}

void Map::OnZoomDone(void* object, TM_Transform*, uint32_t)
{
    auto* map = static_cast<Map*>(object);
    if (map->mTravel != nullptr)
        map->mTravel->ShowLayers(Callback(map, &Map::OnLayersShown));
}

void Map::OnLayersShown(void* object, TM_Transform*, uint32_t)
{
    static_cast<Map*>(object)->StartRouteTravel();
}

void Map::StartRouteTravel()
{
    if (mTravel == nullptr)
        return;
    const uint32_t length = mTravel->StartTravel(Callback(this, &Map::OnCrossingDone));
    const TVec2 from(mRoute->GetSpec().mMatrix.m[2][0], mRoute->GetSpec().mMatrix.m[2][1]);
    TVec2 to = from;
    if (std::shared_ptr<TTexture> texture = mRoute->GetTexture())
        to = TVec2(from.x + static_cast<float>(texture->GetWidth()),
                   from.y + static_cast<float>(texture->GetHeight()));
    mMarkerTransform.SetPosition(from.x, from.y, 0);
    if (TransformManager* transforms = TransformManager::Instance())
    {
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Move(length, true, to, from, 0, kLinear));
        transforms->AddTransform(&mMarkerTransform, list);
    }
    mMapState = kTravelling;
}

void Map::OnCrossingDone(void* object, TM_Transform*, uint32_t)
{
    auto* map = static_cast<Map*>(object);
    map->mTravel->HideLayers(Callback(map, &Map::OnTravelDone));
}

void Map::OnTravelDone(void* object, TM_Transform*, uint32_t)
{
    auto* map = static_cast<Map*>(object);
    map->mMapState = kTravelDone;
    map->MapButtonPress();
}

void Map::RevealRoute()
{
    std::shared_ptr<TTexture> texture = mRoute->GetTexture();
    if (texture == nullptr)
        return;
    TDrawSpec& spec = mRoute->GetSpec();
    const int32_t mx = static_cast<int32_t>(mMarkerSpec.mMatrix.m[2][0]);
    const int32_t my = static_cast<int32_t>(mMarkerSpec.mMatrix.m[2][1]);
    const int32_t dx = std::abs(static_cast<int32_t>(spec.mMatrix.m[2][0]) - mx);
    const int32_t dy = std::abs(static_cast<int32_t>(spec.mMatrix.m[2][1]) - my);
    const int32_t w = static_cast<int32_t>(texture->GetWidth());
    const int32_t h = static_cast<int32_t>(texture->GetHeight());
    TRect& r = spec.mSourceRect;
    switch (mDirection)
    {
    case 0:
        r = TRect(w - dx, h - dy, 2 * w - dx, 2 * h - dy);
        spec.mOrigin = TVec2(static_cast<float>(-r.left), static_cast<float>(-r.top));
        break;
    case 1:
    case 4:
        r = TRect(0, h - dy, w, mDirection == 1 ? 2 * h - dy : h);
        spec.mOrigin.y = static_cast<float>(-r.top);
        break;
    case 2:
        r = TRect(w - dx, 0, w, dy);
        spec.mOrigin.x = static_cast<float>(-r.left);
        break;
    case 3:
        r = TRect(0, 0, dx, dy);
        break;
    case 5:
        r = TRect(0, 0, w, dy);
        break;
    case 6:
        r = TRect(0, 0, dx, h);
        break;
    case 7:
        r = TRect(w - dx, 0, w, h);
        spec.mOrigin.x = static_cast<float>(-r.left);
        break;
    default:
        break;
    }
}

void Map::MapButtonPress()
{
    if (mState != kIdle)
        return;
    if (TScript* script = GetWindowScript())
        script->DoLuaString("ContinueMap();");
    DisableButtons();
}

void Map::PauseMap()
{
    mPaused = true;
    if (TransformManager* transforms = TransformManager::Instance())
        for (TM_Transform* target : Transforms())
            transforms->PauseTransforms(target);
    if (mTravel != nullptr)
        mTravel->Pause();
    if (mLightningSound != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Pause(mLightningSound);
}

void Map::ResumeMap()
{
    if (TransformManager* transforms = TransformManager::Instance())
        for (TM_Transform* target : Transforms())
            transforms->ResumeTransforms(target);
    if (mTravel != nullptr)
        mTravel->Resume();
    if (mLightningSound != 0)
        if (AudioManager* audio = AudioManager::Instance())
            audio->Resume(mLightningSound);
    mPaused = false;
}

void Map::OnOverlayDone(void* object, TM_Transform*, uint32_t)
{
    // Inside the transform manager's pass: the pops wait for the map's next frame.
    static_cast<Map*>(object)->mOpenFullMapDue = true;
}

TString Map::FullMapStatement(const TString& fadeOut)
{
    if (fadeOut.Length() == 0)
        return "DisplayDialog{ 'scripts/map.lua', body = 'startfull' }";
    return TString::Format("DisplayDialog{ 'scripts/map.lua', body = 'startfull', fadeout = '%s' }",
                           DialogWindow::QuoteForScript(fadeOut).c_str());
}

void Map::OpenFullMap()
{
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr)
        return;
    // Copied: the pop schedules this window's deletion.
    const TString statement = FullMapStatement(mPendingFadeOut);
    manager->DoPopModal("gameplay");
    manager->RunScriptInWindow(manager->GetRoot(), statement);
}

void Map::FadeOut(const TString& script)
{
    if (mMapState == kOverlay)
    {
        mPendingFadeOut = script;
        ResumeMap();
        return;
    }
    PauseMap();
    GameWindow::FadeOut(script);
}

bool Map::OnMessage(TMessage* message)
{
    if (message->mType == kFocusLost && !mPaused)
    {
        TVButton* menu = TVButton::Cast(FindChild("menu", 1));
        if (menu == nullptr)
            return false;
        menu->Fire();
        return true;
    }
    if (message->mType == kFocusBack && mPaused)
    {
        PauseMap();
        return true;
    }
    return TWindow::OnMessage(message);
}

void Map::Draw()
{
    GameWindow::Draw();
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    if (mMapState == kOverlay)
    {
        for (TVButton* button : Buttons())
            button->SetAlpha(mOverlaySpec.mAlpha);
        mLargeMap->Draw(mOverlaySpec);
    }
    if (mMapState == kLargeMap || mMapState == kZooming)
        mLargeMap->Draw(TDrawSpec());
    if (mMapState >= kZooming && mMapState <= kTravelDone && mTravel != nullptr)
    {
        const TDrawSpec& layer = mTravel->GetLayerSpec();
        mTravel->GetMapImage()->Draw(layer);
        for (const std::shared_ptr<TextObject>& text : mTexts)
        {
            text->SetAlpha(layer.mAlpha);
            text->Draw(TDrawSpec());
        }
        if (mMapState != kZooming)
            mRoute->Draw(TDrawSpec());
        if (mLightning->GetTexture() != nullptr)
            mLightning->Draw(TDrawSpec(TVec2(), mLightningAlpha));
        if (mParticles != nullptr)
            mParticles->Draw(TVec3(0, 0, 0));
        mTravel->Draw();
    }
    if (entered)
        renderer->End2d();
}
