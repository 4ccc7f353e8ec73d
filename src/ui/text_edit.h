// TTextEdit: a one-line text entry built on TText, with a blinking caret, password masking, a
// length limit, paste, and Tab moving through the edits of one modal window (TextSpider finds
// the group). Its creator is the window type "TextEdit".
#pragma once

#include "platform/shell/task.h"
#include "ui/text_window.h"

#include <cstdint>
#include <memory>
#include <vector>

class TTextEdit;

// The text edits of one modal window, in the order in which they joined.
using TTextEditGroup = std::vector<TTextEdit*>;

// Edit-event kinds handed to FilterEvent and AcceptEvent.
enum : int32_t
{
    kEditInsert = 0,
    kEditMove = 1,
    kEditReturn = 2,
    kEditTab = 3,
    kEditPaste = 4,
    kEditRefused = 5
};

class TTextEdit : public TText
{
public:
    TTextEdit();
    ~TTextEdit() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "TTextEdit"; }
    bool IsKindOf(TClassId id) const override { return id == GetClassId() || TText::IsKindOf(id); }
    bool OnAttach() override;
    void Init(TWindowStyle& style) override;
    void Draw() override;
    bool Animate() override;
    bool OnChar(char c) override;
    bool OnText(const TString& utf8) override;
    bool OnKeyDown(char key, int32_t modifiers) override;
    void SetText(const TString& text) override;
    // The edited text, never what is shown.
    TString GetText() const override;

    // Subclasses decide what counts as an edit and hear of refusals (kind 5).
    virtual bool FilterEvent(int32_t kind, int32_t character);
    virtual bool AcceptEvent(int32_t kind, uint32_t code);

    int32_t GetCaret() const { return mCaret; }
    int32_t GetMaximum() const { return mMaximum; }
    bool IsPassword() const { return mPassword; }
    bool IsUtf8() const { return mUtf8; }
    const TString& GetIgnore() const { return mIgnore; }
    const std::shared_ptr<TTextEditGroup>& GetGroup() const { return mGroup; }

private:
    friend class TextSpider;

    void JoinGroup();
    // Shows the text (masked, with the caret mark in its on phase) through the layout.
    void UpdateShownText();
    void PostChanged();
    void Paste();
    void FocusNextInGroup();

    int32_t mMaximum = 10;
    std::shared_ptr<TTextEditGroup> mGroup;
    TString mText;
    // A byte index, 0 to the text's length.
    int32_t mCaret = 0;
    bool mUtf8 = false;
    bool mPassword = false;
    bool mCaretShown = false;
    TString mIgnore;
    TClock mCaretClock;
};

// Finds a group for an edit among a modal window's descendants: the first other edit whose group
// does not hold it yet takes it in.
class TextSpider : public TWindowSpider
{
public:
    explicit TextSpider(TTextEdit* edit) : mEdit(edit) {}
    bool Visit(TWindow* child) override;
    bool Found() const { return mFound; }

private:
    TTextEdit* mEdit;
    bool mFound = false;
};
