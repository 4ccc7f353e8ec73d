// GameplayHintThessalorGoal: one fixed slot of Thessalor's board: the text and colour a letter
// must have to fill it, shown in its solved colour once filled.
#pragma once

#include "framework/core/frame_services.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>

class TextObject;
class TLuaTable;

class GameplayHintThessalorGoal
{
public:
    // The place and turn come from the goal's own table; the look (font, box, solved colour)
    // from the board's "textinfo", shared with the letters.
    GameplayHintThessalorGoal(const TLuaTable& goal, const TLuaTable& textInfo);
    ~GameplayHintThessalorGoal();
    GameplayHintThessalorGoal(const GameplayHintThessalorGoal&) = delete;
    GameplayHintThessalorGoal& operator=(const GameplayHintThessalorGoal&) = delete;

    // Recoloured; a text that cannot be rendered again asks the frame driver to rebuild the
    // textures, and the goal stays solved.
    void MarkSolved();
    void Clear();
    TString GetText() const;
    TIntPoint GetPosition() const;

    bool IsSolved() const { return mSolved != 0; }
    const TVec4& GetSolvedColor() const { return mSolvedColor; }
    float GetRotation() const { return mRotation; }
    const std::shared_ptr<TextObject>& GetTextObject() const { return mText; }

private:
    uint8_t mSolved = 0;
    TVec4 mSolvedColor;
    std::shared_ptr<TextObject> mText;
    float mRotation = 0;
};
