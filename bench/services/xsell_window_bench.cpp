// The cross-sell page: "SetupXSell" with seven games (the content file parsed, seven texts laid
// out with their links, the re-anchoring), as a fraction of the 16.7 ms frame; and a frame of the
// filled page beside a frame of the same child windows under a plain window.
#include "platform/files/file_layer.h"
#include "render/renderer/renderer.h"
#include "script/script.h"
#include "services/xsell_window.h"
#include "ui/modal_window.h"
#include "ui/text_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include "ui/window_bench_support.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace
{

constexpr double kFrameMs = 1000.0 / 60.0;

std::string SevenGames()
{
    std::string xml = "<xsell>";
    for (int n = 1; n <= 7; ++n)
        xml += "<gameinfo description='Game " + std::to_string(n) +
               ": a story of lamps, reeds and the drowned quarter of the fen' linktext='Read' "
               "color='d8b56a' link='https://example.org/" +
               std::to_string(n) + "'/>";
    return xml + "<sitelink link='https://example.org/'/><centertext text1='More' "
                 "text2='stories'/></xsell>";
}

// The page's children as window-script text, under a window of `type`.
std::string Page(const char* type, const char* name)
{
    std::string code = std::string(type) + "{ name = '" + name +
                       "', config = 'xsell/bench.xml', x = 0, y = 0, w = 800, h = 600, ";
    for (int n = 1; n <= 8; ++n)
        code += "Text{ name = 'descrip" + std::to_string(n) +
                "', x = 40, y = " + std::to_string(100 + 50 * n) +
                ", w = 500, h = 44, label = '#', font = { "
                "'__DEFAULT', 18 } }, ";
    for (int n = 1; n <= 7; ++n)
        code += "Button{ name = 'xsellbutton" + std::to_string(n) +
                "', x = 660, y = " + std::to_string(120 + 50 * n) + ", w = 120, h = 36 }, ";
    return code + "Text{ name = 'centertext1', x = 200, y = 30, w = 400, h = 40, label = '#', "
                  "font = { '__DEFAULT', 30 } }, Button{ name = 'gamesite', x = 400, y = 560, "
                  "w = 200, h = 40 } }()";
}

struct Screen
{
    TWindowManager* manager = nullptr;
    TWindowScript* script = nullptr;
};

Screen& TheScreen()
{
    static std::string xml = SevenGames();
    static Screen screen = []
    {
        Screen s;
        MakeWindowBenchApplication();
        s.manager = GetWindowManager();
        s.manager->CreateScript();
        s.script = s.manager->GetScript();
        s.manager->RegisterWindowType("XSellWindow", &TXSellWindow::Create);
        RegisterMemoryFileName("xsell/bench.xml", xml.data(), static_cast<uint32_t>(xml.size()));
        return s;
    }();
    return screen;
}

TWindow* Build(const char* type, const char* name)
{
    Screen& screen = TheScreen();
    screen.script->DoLuaString(Page(type, name).c_str());
    return screen.manager->GetTopModal()->FindChild(name, 0xFFFFFFFFu);
}

bool Frame(TWindow* page)
{
    TRenderer* renderer = TRenderer::Instance();
    if (!renderer->BeginDraw(false))
        return false;
    page->Render(0);
    renderer->EndFrame(false);
    return true;
}

} // namespace

static void SetupXSellSevenGames(benchmark::State& state)
{
    TWindow* page = Build("XSellWindow", "xsell_setup");
    if (page == nullptr)
        return state.SkipWithError("no page");
    auto* xsell = static_cast<TXSellWindow*>(page);
    double totalMs = 0;
    for (auto _ : state)
    {
        auto start = std::chrono::steady_clock::now();
        xsell->SetupXSell();
        totalMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
    }
    state.counters["frame_fraction"] = totalMs / static_cast<double>(state.iterations()) / kFrameMs;
}
BENCHMARK(SetupXSellSevenGames);

// The filled page and its children under a plain window, drawn alternately in one run.
static void FrameOfFilledPageAgainstPlainWindow(benchmark::State& state)
{
    TWindow* page = Build("XSellWindow", "xsell_frame");
    if (page == nullptr)
        return state.SkipWithError("no page");
    static_cast<TXSellWindow*>(page)->SetupXSell();
    TWindow* plain = Build("Window", "plain_frame");
    if (plain == nullptr)
        return state.SkipWithError("no plain window");
    // The plain window's texts say what the page's say, so both lay out the same words.
    for (int n = 1; n <= 8; ++n)
    {
        TString name = TString::Format("descrip%d", n);
        auto* from = static_cast<TText*>(page->FindChild(name, 0xFFFFFFFFu));
        auto* to = static_cast<TText*>(plain->FindChild(name, 0xFFFFFFFFu));
        to->SetText(from->GetText());
        to->SetFlags(from->GetFlags());
    }
    double pageMs = 0;
    double plainMs = 0;
    for (auto _ : state)
    {
        auto start = std::chrono::steady_clock::now();
        Frame(page);
        auto middle = std::chrono::steady_clock::now();
        Frame(plain);
        auto end = std::chrono::steady_clock::now();
        pageMs += std::chrono::duration<double, std::milli>(middle - start).count();
        plainMs += std::chrono::duration<double, std::milli>(end - middle).count();
    }
    state.counters["page_to_plain"] = plainMs > 0 ? pageMs / plainMs : 0;
}
BENCHMARK(FrameOfFilledPageAgainstPlainWindow);
