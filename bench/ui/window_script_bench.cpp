// The window script: a 200-window screen built from its description through the window library
// (beside making the same windows natively), and one message round trip to a waiting screen
// script (beside the same message taken by a window without the script).
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace
{

// 200 windows: 20 columns of 9 children each, with placement keys.
std::string ScreenText()
{
    std::string text;
    for (int group = 0; group < 20; ++group)
    {
        text += "Window{ name = 'g" + std::to_string(group) +
                "', x = " + std::to_string(group * 40) + ", w = 40, h = 600, ";
        for (int child = 0; child < 9; ++child)
            text += "Window{ y = " + std::to_string(child * 60) + ", w = 40, h = 60 }, ";
        text += "}() ";
    }
    return text;
}

struct Screen
{
    Screen()
    {
        manager = std::make_unique<TWindowManager>();
        manager->CreateRoot(800, 600);
        manager->CreateScript();
        script = manager->GetScript();
    }
    std::unique_ptr<TWindowManager> manager;
    TWindowScript* script = nullptr;
};

class TakesAll : public TWindow
{
public:
    bool OnMessage(TMessage* message) override
    {
        benchmark::DoNotOptimize(message->mType);
        return true;
    }
};

} // namespace

static void BuildScreenFromDescription(benchmark::State& state)
{
    Screen screen;
    TString text = ScreenText().c_str();
    for (auto _ : state)
    {
        screen.script->DoLuaString(text);
        screen.script->DoLuaString("ClearModalChildren()");
    }
}
BENCHMARK(BuildScreenFromDescription)->Unit(benchmark::kMillisecond);

static void BuildScreenNatively(benchmark::State& state)
{
    Screen screen;
    TModalWindow* root = screen.manager->GetTopModal();
    for (auto _ : state)
    {
        for (int group = 0; group < 20; ++group)
        {
            auto* column = new TWindow();
            column->SetPosition(group * 40, 0);
            column->SetSize(40, 600);
            root->AddChild(column, true);
            for (int child = 0; child < 9; ++child)
            {
                auto* w = new TWindow();
                w->SetPosition(0, child * 60);
                w->SetSize(40, 60);
                column->AddChild(w, true);
            }
        }
        root->DeleteChildren();
    }
}
BENCHMARK(BuildScreenNatively)->Unit(benchmark::kMillisecond);

static void MessageRoundTripThroughScript(benchmark::State& state)
{
    Screen screen;
    screen.script->DoLuaString("return function() n = 0 while true do "
                               "if WaitForMessage() then n = n + 1 end end end");
    for (auto _ : state)
    {
        screen.manager->PostMessage(new TMessage(kButtonPress, "ok"));
        screen.manager->DispatchMessages();
    }
}
BENCHMARK(MessageRoundTripThroughScript);

static void MessageTakenByAWindow(benchmark::State& state)
{
    Screen screen;
    auto* window = new TakesAll();
    screen.manager->GetTopModal()->AddChild(window, false);
    for (auto _ : state)
    {
        screen.manager->PostMessage(new TMessage(kButtonPress, "ok", window));
        screen.manager->DispatchMessages();
    }
}
BENCHMARK(MessageTakenByAWindow);
