// Test support for text windows and text edits: an application on the headless display with its
// window manager and window script, the text layout's square test font and fallback font as
// memory files, a recorder of posted messages, and a button stand-in answering the modal's
// button query.
#pragma once

#include "render/render_test_support.h"
#include "render/text/text_layout.h"
#include "render/text_test_support.h"
#include "ui/modal_window.h"
#include "ui/text_edit.h"
#include "ui/text_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"
#include "ui_display_support.h"
#include "ui_test_support.h"

#include <string>
#include <vector>

namespace uitest
{

// A window that the button query reports as a button; Fire counts.
class FakeButton : public TWindow, public TButtonControl
{
public:
    uint32_t GetButtonOptions() const override { return 0; }
    void Click() override { ++mClicks; }
    bool Fire() override
    {
        ++mFires;
        return true;
    }
    int mClicks = 0;
    int mFires = 0;
};

inline TButtonControl* QueryFakeButton(TWindow* window)
{
    return dynamic_cast<FakeButton*>(window);
}

// Notes every untargeted message as "<type> <name>" and lets it pass on.
class MessageRecorder : public TMessageListener
{
public:
    explicit MessageRecorder(std::vector<std::string>* out) : mOut(out) {}
    bool OnMessage(TMessage* message) override
    {
        mOut->push_back(std::to_string(message->mType) + " " + message->mName.c_str());
        return false;
    }

private:
    std::vector<std::string>* mOut;
};

class TextTest : public UiDisplayTest
{
protected:
    void SetUp() override
    {
        UiDisplayTest::SetUp();
        mSeam->CreateVectorRasteriser();
        mSquare = texttest::SquareFont();
        mFallback = texttest::FallbackFont();
        RegisterMemoryFileName("fonts/square.mvec", mSquare.data(),
                               static_cast<uint32_t>(mSquare.size()));
        RegisterMemoryFileName("fonts/default.mvec", mFallback.data(),
                               static_cast<uint32_t>(mFallback.size()));
        mRecorder = new MessageRecorder(&mMessages);
        mManager->AddMessageListener(mRecorder);
        SetButtonQuery(&QueryFakeButton);
    }
    void TearDown() override
    {
        SetButtonQuery(nullptr);
        UiDisplayTest::TearDown();
        RegisterMemoryFileName("fonts/square.mvec", nullptr, 0);
        RegisterMemoryFileName("fonts/default.mvec", nullptr, 0);
        GetFontMap().Clear();
    }

    template <class T> T* FindAs(const char* name)
    {
        TWindow* w = Find(name);
        return w != nullptr && w->IsKindOf(T::GetClassId()) ? static_cast<T*>(w) : nullptr;
    }
    TText* FindText(const char* name) { return FindAs<TText>(name); }
    TTextEdit* FindEdit(const char* name) { return FindAs<TTextEdit>(name); }
    // The shown mark-up.
    static std::string Shown(TText* text)
    {
        return text->GetLayout() != nullptr ? text->GetLayout()->GetLayoutText().c_str() : "";
    }
    void Send(int32_t type, int32_t x = 0, int32_t y = 0, int32_t param = 0, int32_t param2 = 0)
    {
        mManager->HandleEvent(MakeEvent(type, x, y, param, param2));
    }
    void Type(const std::string& text)
    {
        for (char c : text)
            Send(kEventChar, 0, 0, static_cast<unsigned char>(c));
    }
    void Key(int32_t key, int32_t modifiers = 0) { Send(kEventKeyDown, 0, 0, key, modifiers); }
    // Pixels in the rectangle that pass the test; Lit counts those that are not black.
    template <class Test> int Count(const TRect& r, Test test)
    {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                count += test(Back(x, y)) ? 1 : 0;
        return count;
    }
    int Lit(const TRect& r)
    {
        return Count(r, [](uint32_t c) { return c != 0; });
    }
    // Takes and empties the recorded messages.
    std::vector<std::string> Messages()
    {
        std::vector<std::string> out;
        out.swap(mMessages);
        return out;
    }

    std::vector<uint8_t> mSquare;
    std::vector<uint8_t> mFallback;
    std::vector<std::string> mMessages;
    MessageRecorder* mRecorder = nullptr;
};

} // namespace uitest
