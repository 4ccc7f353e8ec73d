// CustomTextEdit: the game's one-line entry field: a text edit that keeps the keyboard focus, plays
// a random typing sound per accepted edit, may clear its preset text, force case, and show a
// window only while it holds text (blanks alone are none). The game registers it as the window type
// "TextEdit".
#pragma once

#include "platform/maths/random.h"
#include "ui/text_edit.h"

#include <cstdint>
#include <vector>

class CustomTextEdit : public TTextEdit
{
public:
    CustomTextEdit();
    ~CustomTextEdit() override;

    // The creator; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "CustomTextEdit"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TTextEdit::IsKindOf(id);
    }
    // Reads "clearinitial", "enablewindow", "forceupper", "forcelower" and "sounds", then the
    // edit's own keys.
    void Init(TWindowStyle& style) override;
    // Takes the focus back, then blinks the caret.
    bool Animate() override;
    bool OnMouseDown(TPoint point) override;
    // The first click clears a preset text that waits for it.
    bool OnMouseUp(TPoint point) override;
    bool OnChar(char c) override;
    // Typed characters arrive here in UTF-8 mode; a single byte gets the forced case too.
    bool OnText(const TString& utf8) override;
    bool OnKeyDown(char key, int32_t modifiers) override;
    bool FilterEvent(int32_t kind, int32_t character) override;

    // The handles of "sounds", unknown names left out.
    const std::vector<int32_t>& GetSounds() const { return mSounds; }

private:
    void TakeFocus();
    char ForceCase(char c) const;
    // Shows the "enablewindow" window while the field holds text besides blanks, else hides it.
    void UpdateEnableWindow();
    // Runs a pending window update once the edit that asked for it is carried out.
    void FinishEdit();

    TRandom mRandom;
    bool mInitialKept = true;
    bool mForceUpper = false;
    bool mForceLower = false;
    std::vector<int32_t> mSounds;
    TString mEnableWindow;
    // Set by an accepted edit that may change whether the field holds text.
    bool mEnablePending = false;
};
