// The parts two puzzles build alike.
// PuzzleButton: a lamp or key of a puzzle (the scroll's progress lamps, the electronic lock's
// keys): where it sits, its animated picture (one frame lit, another unlit) and whether it is lit.
// PuzzleLens: the lens that follows the mouse over a puzzle, the scroll's crystal lens and the
// sky's lens alike. Its reference point is where the mouse was last followed; its picture hangs
// `spriteDrop` pixels below that point and carries five parts (the scroll's glows, the sky's
// plates) drawn under its spec; its collision rectangle, moved with the point, is what presses
// test.
// PuzzleSecondPress: the answer a puzzle's last press took, and when.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "ui/window.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TAnimatedSprite;
class TLuaTable;
class TSprite;

// What tells one kind of button from another: its two frames and its report (with the source and
// the line it has always named).
struct PuzzleButtonLooks
{
    int32_t litFrame;
    int32_t unlitFrame;
    const char* source;
    const char* missing;
    int32_t missingLine;
};

class PuzzleButton
{
public:
    // Unlit at (0, 0) with no picture, its sprite made on layer 0.
    explicit PuzzleButton(const PuzzleButtonLooks& looks);

    // Reads "button%02d" (`index` from 1) of `buttons`: "x", "y" (truncated) and "image"; the
    // sprite moves there and the button is unlit. A missing table is a fatal report and the
    // button keeps what it had; the answer is false then.
    bool Load(int32_t index, const TLuaTable& buttons);
    // Lit or unlit with the frame to match, without a sound.
    void SetLit(bool lit);
    // The animated picture its image names; a button without one keeps no picture.
    void LoadTexture();
    void ReleaseTexture();
    // Its image name for the scene's list of animated pictures; none when it has no image.
    std::vector<TString> GetImageNames() const;
    void Draw() const;

    bool IsLit() const { return mOn; }
    int32_t GetX() const { return mX; }
    int32_t GetY() const { return mY; }
    const TString& GetImage() const { return mImage; }
    const std::shared_ptr<TAnimatedSprite>& GetSprite() const { return mSprite; }

private:
    const PuzzleButtonLooks& mLooks;
    bool mOn = false;
    int32_t mX = 0;
    int32_t mY = 0;
    TString mImage;
    std::shared_ptr<TAnimatedSprite> mSprite;
};

// What tells one lens from the other: its table's name, its reports (each with the source and the
// line it has always named) and where its picture hangs.
struct PuzzleLensTraits
{
    const char* tableKey;
    const char* source;
    const char* missingLens;
    int32_t missingLensLine;
    const char* missingRect;
    int32_t missingRectLine;
    int32_t spriteDrop;
    // Whether a missing rectangle also leaves the parts unloaded.
    bool missingRectStops;
};

// A double click on an answer is one press to the player, but its second press reaches the puzzle
// too, which would count the answer already taken again (most often as a wrong one, starting the
// puzzle over). A puzzle notes each answer a press took; a press on that same answer within the
// desktop's double-click time is that second press, and does nothing more.
class PuzzleSecondPress
{
public:
    // True when a press now on `answer` is the second press of a double click whose first took it.
    bool Repeats(int32_t answer) const;
    void Took(int32_t answer);
    void Forget() { mAnswer = kNone; }

private:
    static constexpr int32_t kNone = -1;
    int32_t mAnswer = kNone;
    uint32_t mTime = 0;
};

template <class Part> class PuzzleLens
{
public:
    static constexpr size_t kParts = 5;

    explicit PuzzleLens(const PuzzleLensTraits& traits);

    // The traits' table of `lens`: "x", "y", "image" and "collisionrect", then the five parts of
    // `parts`. A missing lens table leaves the lens empty; a missing rectangle is reported and
    // stays zero.
    void Load(const TLuaTable& lens, const TLuaTable& parts);
    // The reference point becomes `mouse`, the rectangle moves by as much and the picture follows.
    void FollowMouse(const TPoint& mouse);
    // The lens with an identity spec, then each lit part under it.
    void Draw() const;
    void LoadTextures();
    void ReleaseTextures();
    // The lens picture, then the parts' pictures (empty names left out).
    std::vector<TString> GetImageNames() const;

    int32_t GetX() const { return mX; }
    int32_t GetY() const { return mY; }
    const TRect& GetCollisionRect() const { return mCollisionRect; }
    const TString& GetImage() const { return mImage; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }

private:
    const PuzzleLensTraits& mTraits;
    int32_t mX = 0;
    int32_t mY = 0;
    TRect mCollisionRect{};
    TString mImage;
    std::shared_ptr<TSprite> mSprite;

protected:
    // Made after the lens's own sprite, as the parts always were.
    std::array<Part, kParts> mParts;
};
