// Routing one mouse move through a tree of 500 windows, 10 levels deep (hit test, dispatch and
// bubbling back to the screen), beside a bare point-in-rectangle walk of the same tree.
#include "ui/modal_window.h"
#include "ui/window_manager.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace
{

constexpr int kColumns = 50;
constexpr int kDepth = 10;

// 50 chains of 10 nested windows side by side on an 800 x 600 screen; each window 2 pixels
// inside its parent.
struct Tree
{
    Tree()
    {
        manager = std::make_unique<TWindowManager>();
        manager->CreateRoot(800, 600);
        TModalWindow* root = manager->GetTopModal();
        for (int column = 0; column < kColumns; ++column)
        {
            TWindow* parent = root;
            for (int level = 0; level < kDepth; ++level)
            {
                auto* w = new TWindow();
                w->SetPosition(level == 0 ? column * 16 : 1, level == 0 ? 0 : 2);
                w->SetSize(level == 0 ? 16 : parent->GetWidth() - 1, 600 - 4 * level);
                parent->AddChild(w, false);
                parent = w;
            }
        }
        manager->HandleEvent(Move(1, 1));
    }

    static TPlatformEvent Move(int x, int y)
    {
        TPlatformEvent e;
        e.mType = kEventMouseMove;
        e.mX = x;
        e.mY = y;
        return e;
    }

    std::unique_ptr<TWindowManager> manager;
};

// The peer: the same descent with nothing but rectangle tests.
const TWindow* BareDescent(const TWindow* w, int x, int y)
{
    for (const TWindow* child : w->GetChildren())
    {
        const TRect& r = child->GetRect();
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return BareDescent(child, x - r.left, y - r.top);
    }
    return w;
}

} // namespace

static void RouteMouseMove(benchmark::State& state)
{
    Tree tree;
    // The first column tested is the last added: the point lies in the first column, so the hit
    // test passes 49 siblings at the top level.
    TPlatformEvent move = Tree::Move(5, 300);
    for (auto _ : state)
    {
        tree.manager->HandleEvent(move);
        benchmark::DoNotOptimize(tree.manager->GetHover());
    }
}
BENCHMARK(RouteMouseMove);

static void BareHitWalk(benchmark::State& state)
{
    Tree tree;
    const TWindow* root = tree.manager->GetTopModal();
    for (auto _ : state)
        benchmark::DoNotOptimize(BareDescent(root, 5, 300));
}
BENCHMARK(BareHitWalk);
