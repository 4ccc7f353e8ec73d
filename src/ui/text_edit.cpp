// TTextEdit: typing, caret moves, deleting, paste, the length limit and glyph checks, password
// masking, the caret's blink, change messages, and the Tab group found by TextSpider.
#include "ui/text_edit.h"

#include "platform/log.h"
#include "platform/shell/application.h"
#include "render/text/font_map.h"
#include "render/text/text_layout.h"
#include "render/text/text_markup.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"
#include "sys/utf8.h"

#include <algorithm>
#include <string>

namespace
{
// Key codes of the platform's key translation.
constexpr char kKeyLeft = -126;
constexpr char kKeyRight = -125;
constexpr char kKeyInsert = -124;
constexpr char kKeyDelete = -1;

constexpr uint32_t kCaretPeriodMs = 800;
constexpr uint32_t kCaretOffMs = 400;
constexpr uint32_t kAnimationPeriodMs = 200;

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Bytes of the character at `at`, as the text is drawn: a whole sequence, or of a broken one its
// lead and the continuation bytes that could have belonged to it; never past the end.
int CharLengthAt(const TString& text, int at)
{
    int length = text.Length();
    if (at >= length)
        return 0;
    int used = 1;
    sys::ReadUtf8(text.c_str() + at, static_cast<size_t>(length - at), used);
    return used;
}

// Bytes of the character that ends at `at`: the sequence whose lead byte reaches exactly to
// `at`, else the single byte before it.
int CharLengthBefore(const TString& text, int at)
{
    if (at <= 0)
        return 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.c_str());
    int start = at - 1;
    while (start > 0 && at - start < 4 && IsContinuation(bytes[start]))
        --start;
    if (start + CharLengthAt(text, start) == at)
        return at - start;
    return 1;
}

int CountChars(const TString& text)
{
    int count = 0;
    for (int at = 0; at < text.Length(); at += CharLengthAt(text, at))
        ++count;
    return count;
}

// The first `count` characters.
TString CutChars(const TString& text, int count)
{
    int at = 0;
    for (int i = 0; i < count && at < text.Length(); ++i)
        at += CharLengthAt(text, at);
    return text.Substr(0, at);
}

} // namespace

// ---- the group ----

bool TextSpider::Visit(TWindow* child)
{
    if (!child->IsKindOf(TTextEdit::GetClassId()))
    {
        child->VisitChildren(*this, false);
        return !mFound;
    }
    auto* other = static_cast<TTextEdit*>(child);
    // An edit that has not joined yet has no group to offer.
    if (other == mEdit || other->mGroup == nullptr)
        return true;
    TTextEditGroup& members = *other->mGroup;
    if (std::find(members.begin(), members.end(), mEdit) != members.end())
        return true;
    mEdit->mGroup = other->mGroup;
    members.push_back(mEdit);
    mFound = true;
    return false;
}

TTextEdit::TTextEdit() : TText(false)
{
    mCaretClock.Reset();
    mCaretClock.Start();
    AddFlagBits(kWindowFocusable);
}

TTextEdit::~TTextEdit()
{
    if (mGroup != nullptr)
        mGroup->erase(std::remove(mGroup->begin(), mGroup->end(), this), mGroup->end());
    mGroup.reset();
    // The task stays on its modal's list, which deletes it at its next run now that it has no
    // window.
    DetachAnimTask();
}

TWindow* TTextEdit::Create()
{
    return new TTextEdit();
}

TClassId TTextEdit::GetClassId()
{
    return reinterpret_cast<TClassId>(&TTextEdit::Create);
}

void TTextEdit::JoinGroup()
{
    if (mGroup != nullptr)
        return;
    TModalWindow* modal = FindModalParent();
    if (modal == nullptr)
        return;
    SetAnimTiming(kAnimationPeriodMs, true, true, false);
    TextSpider spider(this);
    modal->VisitChildren(spider, false);
    if (!spider.Found())
        mGroup = std::make_shared<TTextEditGroup>(1, this);
}

bool TTextEdit::OnAttach()
{
    JoinGroup();
    return true;
}

// ---- style and drawing ----

void TTextEdit::Init(TWindowStyle& style)
{
    JoinGroup();
    bool password = style.GetBool("password", false);
    int32_t length = style.GetInt("length", 10);
    TString ignore = style.GetString("ignore", TString());
    mUtf8 = style.GetBool("utf8", false);

    // An edit's label is its initial text, never a key of the string table.
    TWindowManager* manager = GetWindowManager();
    bool translating = manager != nullptr && manager->SetScriptTextFlag(false);
    if (password)
    {
        mPassword = true;
        UpdateShownText();
    }
    TText::Init(style);
    if (manager != nullptr)
        manager->SetScriptTextFlag(translating);

    mMaximum = length;
    mIgnore = ignore;
}

void TTextEdit::Draw()
{
    JoinGroup();
    TText::Draw();
}

bool TTextEdit::Animate()
{
    UpdateShownText();
    return true;
}

void TTextEdit::SetText(const TString& text)
{
    mText = text;
    mCaret = text.Length();
    UpdateShownText();
}

TString TTextEdit::GetText() const
{
    return mText;
}

void TTextEdit::UpdateShownText()
{
    TString shown =
        mPassword ? TString(std::string(static_cast<size_t>(mText.Length()), '*').c_str()) : mText;
    // What the player typed is shown as typed: its backslashes and "<" are escaped so the layout
    // reads no mark-up in it; only the caret the field adds is a tag.
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr || manager->GetFocus() != this)
    {
        TText::SetText(markup::Escape(shown));
        return;
    }
    bool on = mCaretClock.GetTime() % kCaretPeriodMs > kCaretOffMs;
    if (on)
        shown = markup::Escape(shown.Substr(0, mCaret)) + "<cursor>" +
                markup::Escape(shown.Substr(mCaret));
    else
        shown = markup::Escape(shown);
    if (on != mCaretShown)
    {
        mCaretShown = on;
        manager->SetDirty();
    }
    TText::SetText(shown);
}

void TTextEdit::PostChanged()
{
    if (TWindowManager* manager = GetWindowManager())
        manager->PostMessage(new TMessage(kTextEditChanged, GetName()));
}

// ---- filters ----

bool TTextEdit::FilterEvent(int32_t kind, int32_t character)
{
    switch (kind)
    {
    case kEditInsert:
        if (mUtf8 || mText.Length() + 1 < mMaximum)
            return true;
        FilterEvent(kEditRefused, character);
        return false;
    case kEditMove:
    case kEditPaste:
        return true;
    default:
        return false;
    }
}

bool TTextEdit::AcceptEvent(int32_t kind, uint32_t code)
{
    if (kind == kEditInsert)
    {
        TFontMap& fonts = GetFontMap();
        TTextLayout* layout = GetLayout();
        TVectorFont* font = layout != nullptr ? fonts.GetFont(layout->GetSecondaryText()) : nullptr;
        TVectorFont* fallback = fonts.GetFont("fonts/default.mvec");
        bool refused = mUtf8 && CountChars(mText) >= mMaximum;
        if (!refused && font != nullptr && font->FindGlyph(code) < 0 &&
            (fallback == nullptr || fallback->FindGlyph(code) < 0))
        {
            // A letter that would show as nothing (a combining mark, a script the fonts lack)
            // is refused rather than kept unseen in a name, and said: the player saw no key fail.
            refused = true;
            Log("Text field '%s': U+%04X refused, which its fonts cannot draw", GetName().c_str(),
                static_cast<unsigned>(code));
        }
        if (refused)
        {
            if (code < 128)
                FilterEvent(kEditRefused, static_cast<int32_t>(code));
            else
                AcceptEvent(kEditRefused, code);
            return false;
        }
    }
    return FilterEvent(kind, code < 128 ? static_cast<int32_t>(code) : ' ');
}

// ---- input ----

bool TTextEdit::OnChar(char c)
{
    return OnText(TString(&c, 1));
}

bool TTextEdit::OnText(const TString& utf8)
{
    if (utf8.Length() == 0)
        return false;
    auto first = static_cast<unsigned char>(utf8.c_str()[0]);
    switch (first)
    {
    case 8:
    {
        if (mCaret == 0)
        {
            AcceptEvent(kEditRefused, DecodeUtf8(utf8.c_str()));
            return false;
        }
        if (!FilterEvent(kEditMove, 8))
            return false;
        int length = CharLengthBefore(mText, mCaret);
        mText.Erase(mCaret - length, length);
        mCaret -= length;
        UpdateShownText();
        PostChanged();
        return true;
    }
    case 9:
        if (AcceptEvent(kEditTab, 9))
        {
            PostChanged();
            return true;
        }
        FocusNextInGroup();
        return false;
    case 13:
        if (!AcceptEvent(kEditReturn, 13))
            return false;
        PostChanged();
        return true;
    default:
        break;
    }
    if (first < 32)
        return false;
    if (first >= 128 && !mUtf8 && !mPassword)
        return false;
    if (mIgnore.Find(utf8) >= 0)
    {
        PostChanged();
        return true;
    }
    if (!AcceptEvent(kEditInsert, DecodeUtf8(utf8.c_str())))
        return false;
    TString before = mText.Substr(0, mCaret);
    mText = before + utf8 + mText.Substr(mCaret);
    // Only the first character's bytes, and only those the text really holds.
    mCaret += CharLengthAt(utf8, 0);
    UpdateShownText();
    PostChanged();
    return true;
}

void TTextEdit::FocusNextInGroup()
{
    TWindowManager* manager = GetWindowManager();
    if (mGroup == nullptr || manager == nullptr)
        return;
    const TTextEditGroup& members = *mGroup;
    auto self = std::find(members.begin(), members.end(), this);
    size_t start = self != members.end() ? static_cast<size_t>(self - members.begin()) : 0;
    for (size_t step = 1; step < members.size(); ++step)
    {
        TTextEdit* next = members[(start + step) % members.size()];
        if (next != this && next->IsShown())
        {
            manager->SetFocus(next);
            return;
        }
    }
}

bool TTextEdit::OnKeyDown(char key, int32_t modifiers)
{
    JoinGroup();
    if (key == kKeyLeft)
    {
        if (mCaret == 0)
        {
            FilterEvent(kEditRefused, key);
            return true;
        }
        if (FilterEvent(kEditMove, key))
        {
            mCaret -= CharLengthBefore(mText, mCaret);
            UpdateShownText();
            return true;
        }
    }
    else if (key == kKeyRight)
    {
        if (mCaret >= mText.Length())
        {
            FilterEvent(kEditRefused, key);
            return true;
        }
        if (FilterEvent(kEditMove, key))
        {
            mCaret += CharLengthAt(mText, mCaret);
            UpdateShownText();
            return true;
        }
    }
    else if (key == kKeyDelete)
    {
        if (mCaret < mText.Length())
        {
            mText.Erase(mCaret, CharLengthAt(mText, mCaret));
            UpdateShownText();
        }
        else
        {
            FilterEvent(kEditRefused, key);
        }
        return true;
    }
    else if (static_cast<signed char>(key) >= 91)
    {
        return false;
    }
    else if (((key == 'V' && (modifiers & kModifierControl) != 0) || key == kKeyInsert) &&
             AcceptEvent(kEditPaste, 0))
    {
        Paste();
        return true;
    }
    return (modifiers & (kModifierControl | kModifierAlt | kModifierExtended)) == 0;
}

void TTextEdit::Paste()
{
    TApplication* application = TApplication::Get();
    TString pasted = application != nullptr ? application->GetClipboardText() : TString();
    if (pasted.Length() == 0)
        return;
    if (!mUtf8 && !IsSingleByteText(pasted))
        return;
    pasted = CutChars(pasted, mMaximum);
    for (int at = 0; at < mIgnore.Length();)
    {
        int length = CharLengthAt(mIgnore, at);
        pasted.Replace(mIgnore.Substr(at, length), "", kStringReplaceAll);
        at += length;
    }
    std::string cleaned;
    for (int i = 0; i < pasted.Length(); ++i)
    {
        if (static_cast<unsigned char>(pasted.c_str()[i]) >= 32)
            cleaned += pasted.c_str()[i];
    }
    SetText(TString());
    if (!cleaned.empty())
    {
        AcceptEvent(kEditInsert, ' ');
        SetText(TString(cleaned.c_str()));
    }
}
