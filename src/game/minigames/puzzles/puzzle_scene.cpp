// What the puzzle scenes share: their record, the completion routine, rectangles read from their
// tables, the touch test, the arming of a click sound and the wrapped mesh draw.
#include "game/minigames/puzzles/puzzle_scene.h"

#include "framework/core/settings.h"
#include "framework/sound/sound_effect.h"
#include "platform/log.h"
#include "render/display/platform.h"
#include "render/renderer/renderer.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

PuzzleScene::PuzzleScene(GameplayFactory& factory, const TLuaTable& entityInfo, const TString& name,
                         const TLuaTable& scene, const TLuaTable* playlist,
                         const TLuaTable& sceneInfo, size_t ownStateSize, const char* recordName)
    : GameplayScene(factory, entityInfo, name, scene, playlist, sceneInfo),
      mOwnStateSize(ownStateSize), mRecordName(recordName)
{
}

void PuzzleScene::AskForCompletion(const TString& eventName)
{
    if (mCompletionAsked)
        return;
    mCompletionAsked = true;
    RunGameplayActivateEvent(eventName);
}

void PuzzleScene::SaveState(std::vector<uint8_t>& out)
{
    const size_t start = out.size();
    SaveOwnState(out);
    if (mCompletionAsked && AsksForCompletion() && mOwnStateSize > 0 &&
        out.size() == start + mOwnStateSize)
        out.back() = static_cast<uint8_t>(out.back() | kCompletionAskedBit);
    GameplayScene::SaveState(out);
}

uint32_t PuzzleScene::GetStateSize() const
{
    return static_cast<uint32_t>(mOwnStateSize) + GameplayScene::GetStateSize();
}

size_t PuzzleScene::MeasureState(const uint8_t* data, size_t size) const
{
    if (data == nullptr || size < mOwnStateSize)
        return 0;
    const size_t base = GameplayScene::MeasureState(data + mOwnStateSize, size - mOwnStateSize);
    return base == 0 ? 0 : mOwnStateSize + base;
}

bool PuzzleScene::LoadState(const uint8_t* data, size_t size)
{
    if (MeasureState(data, size) == 0)
    {
        Log("Scene '%s': its saved %s record does not fit in %zu bytes; not restored",
            mName.c_str(), mRecordName, size);
        return false;
    }
    std::vector<uint8_t> own(data, data + mOwnStateSize);
    if (!own.empty() && AsksForCompletion())
    {
        // A puzzle whose completion ran before the close does not ask for it again.
        mCompletionAsked = (own.back() & kCompletionAskedBit) != 0;
        own.back() = static_cast<uint8_t>(own.back() & ~kCompletionAskedBit);
    }
    LoadOwnState(own.data());
    return GameplayScene::LoadState(data + mOwnStateSize, size - mOwnStateSize);
}

TString GameplayActivateEventStatement(const TString& eventName)
{
    std::string text = "GameplayActivateEvent( '";
    for (const char* c = eventName.c_str(); *c != '\0'; ++c)
    {
        const unsigned char byte = static_cast<unsigned char>(*c);
        if (byte == '\'' || byte == '\\')
        {
            text += '\\';
            text += *c;
        }
        else if (byte == '\n')
            text += "\\n";
        else if (byte == '\r')
            text += "\\r";
        else if (byte < 0x20 || byte == 0x7F)
        {
            // Three digits always, so a digit after it cannot join the escape.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03u", static_cast<unsigned>(byte));
            text += escape;
        }
        else
            text += *c;
    }
    text += "' );";
    return TString(text.c_str());
}

void RunGameplayActivateEvent(const TString& eventName)
{
    TWindowManager* manager = GetWindowManager();
    TScript* script = manager != nullptr ? manager->GetScript() : nullptr;
    if (script == nullptr)
    {
        Log("Puzzle: no window script to activate '%s'", eventName.c_str());
        return;
    }
    script->DoLuaString(GameplayActivateEventStatement(eventName));
}

TRect ReadPuzzleRect(const TLuaTable& table)
{
    return TRect(
        ScriptNumberToInt(table.GetNumber("x1", 0)), ScriptNumberToInt(table.GetNumber("y1", 0)),
        ScriptNumberToInt(table.GetNumber("x2", 0)), ScriptNumberToInt(table.GetNumber("y2", 0)));
}

bool RectsTouch(const TRect& a, const TRect& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

void ArmSoundEffect(SoundEffect* effect)
{
    if (effect == nullptr)
        return;
    effect->mEndCallback = nullptr;
    // Summed wide: two large delays saturate instead of wrapping into "nothing pending".
    const int64_t pending =
        static_cast<int64_t>(effect->mInitialDelay) + static_cast<int64_t>(effect->mDelay);
    effect->mPending = static_cast<int32_t>(std::clamp<int64_t>(
        pending, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

void DrawIndexedWrapped(uint32_t primitive, const TVertexSet& set, const uint16_t* indices,
                        uint32_t indexCount)
{
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr)
        return;
    // The platform's modes: 1 wraps; anything but 1 (wrap) or 2 (mirror) clamps, as Begin2d sets.
    renderer->GetPlatform().SetTextureAddress(1, 1);
    renderer->DrawIndexedVertices(primitive, set, indices, indexCount);
    renderer->GetPlatform().SetTextureAddress(3, 3);
}
