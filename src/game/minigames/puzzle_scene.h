// What the puzzle scenes share: the completion routine that hands the runner a named event, the
// rectangles their tables give, the touch test between them, and the arming of a click sound that
// the puzzle's own update then starts, and the indexed draw of their textured meshes.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <cstdint>

class SoundEffect;
class TLuaTable;
class TVertexSet;

// The statement "GameplayActivateEvent( '<name>' );" with the name as a quoted script string: a
// quote, a backslash or a control character in it is escaped, so the name reaches the runner as
// it is and never ends the string or the statement early. Plain names are pasted unchanged.
TString GameplayActivateEventStatement(const TString& eventName);

// Runs that statement on the window manager's script: the runner stores the event (none when the
// location has no event of that name) and activates it on a later update.
void RunGameplayActivateEvent(const TString& eventName);

// "x1", "y1", "x2", "y2" as left, top, right, bottom; numbers truncated toward zero, anything else
// 0.
TRect ReadPuzzleRect(const TLuaTable& table);

// Overlap with the edges counted: rectangles that only share a border touch.
bool RectsTouch(const TRect& a, const TRect& b);

// A click sound is never started at once: its end listener is dropped without being told and its
// pending delay becomes "initialdelay" plus "delay", which the puzzle's update counts down
// (SoundEffect::Update) before it starts. Null is ignored.
void ArmSoundEffect(SoundEffect* effect);

// An indexed draw of pre-lit vertices with the bound texture repeated beyond [0, 1]: a lens moves
// the scroll's and the sky's coordinates with it, and the 2-D state clamps, which would smear the
// picture's edge instead. The 2-D state's clamp is set again after the draw.
void DrawIndexedWrapped(uint32_t primitive, const TVertexSet& set, const uint16_t* indices,
                        uint32_t indexCount);
