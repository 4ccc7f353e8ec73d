// TPlatformEvent, the record the event pump fills for the game's main loop, its types and the
// key-code mapping of key events.
#pragma once

#include <cstdint>

struct TPlatformEvent
{
    int32_t mType = 0;
    int32_t mParam = 0;
    int32_t mX = 0;
    int32_t mY = 0;
    int32_t mParam2 = 0;
};

enum : int32_t
{
    kEventTick = 1,
    kEventNothing = 2,
    kEventClose = 3,
    kEventQuit = 4,
    kEventLeftDown = 5,
    kEventButton = 6,
    kEventLeftUp = 7,
    kEventMouseMove = 8,
    kEventMouseLost = 9,
    kEventHover = 10,
    kEventKeyDown = 11,
    kEventKeyUp = 12,
    kEventChar = 13,
    kEventWideChar = 14,
    kEventRepaint = 15,
    kEventDisplayModeSet = 17,
    kEventActivation = 18,
    kEventFullScreenToggled = 19
};

// Button codes of kEventButton.
enum : int32_t
{
    kButtonRightUp = 0,
    kButtonRightDown = 1,
    kButtonMiddleUp = 2,
    kButtonMiddleDown = 3,
    kButtonExtra1Down = 4,
    kButtonExtra2Down = 5,
    kButtonWheelAway = 6,
    kButtonWheelToward = 7
};

// Modifier bits of param2.
enum : int32_t
{
    kModifierShift = 1,
    kModifierControl = 2,
    kModifierAlt = 4,
    kModifierExtended = 8
};

// The game's code for a virtual-key code: arrows, insert, page keys and delete become negative
// codes, numeric-pad and punctuation keys their characters; every other code passes unchanged.
int32_t MapVirtualKeyCode(int32_t virtualKey);

// The pump's process-wide state (the one-time host announcement, a pending high surrogate) as a
// new process has it; for tests that run several applications in one process.
void ResetEventPumpState();
