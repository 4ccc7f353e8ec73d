// The transform manager's frame with 10,000 running transforms (alpha, move, scale, and a half
// logistic alpha on each target) beside a plain loop writing the same values into the same draw
// specs; and 1,000 targets added and removed beside a vector of records pushed and erased.
#include "framework/core/delta_time.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "render/renderer/draw_spec.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace
{
constexpr int kTransforms = 10000;
constexpr int kTargets = 1000;

TM_InstructionList* Work()
{
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(1000000, 0, 1, 0, 1.0f));
    list->push_back(new TM_Move(1000000, true, TVec2(100, 50), TVec2(0, 0), 0, 1.0f));
    list->push_back(new TM_Scale(1000000, 2, 1, 0, 1.0f));
    list->push_back(new TM_Alpha(1000000, 0.5f, 1, 0, -0.5f));
    return list;
}

void BM_Transforms_Update10000(benchmark::State& state)
{
    DeltaTime clock;
    TransformManager manager;
    std::vector<TDrawSpec> specs(kTransforms);
    std::vector<std::unique_ptr<TM_Transform2D>> targets;
    for (TDrawSpec& spec : specs)
    {
        targets.push_back(std::make_unique<TM_Transform2D>(&spec));
        manager.AddTransform(targets.back().get(), Work());
    }
    uint32_t now = 1;
    for (auto _ : state)
    {
        clock.SetFrameTime(now += 16);
        manager.Update();
    }
    benchmark::DoNotOptimize(specs.data());
}
BENCHMARK(BM_Transforms_Update10000)->Unit(benchmark::kMicrosecond);

// The peer: the same four curves written straight into the specs.
void BM_Plain_Update10000(benchmark::State& state)
{
    std::vector<TDrawSpec> specs(kTransforms);
    std::vector<float> scales(kTransforms, 1.0f);
    uint32_t now = 1;
    for (auto _ : state)
    {
        now += 16;
        double share = static_cast<double>(now) / 1000000.0;
        float p = static_cast<float>(share);
        float logistic = static_cast<float>(1.0 / (1.0 + std::exp(-12.0 * (share - 0.5))));
        for (int i = 0; i < kTransforms; ++i)
        {
            TDrawSpec& spec = specs[static_cast<size_t>(i)];
            spec.mAlpha = 1 - p;
            spec.mMatrix.m[2][0] = 100 * p;
            spec.mMatrix.m[2][1] = 50 * p;
            float scale = 1 + p;
            float f = scale / scales[static_cast<size_t>(i)];
            for (int row = 0; row < 3; ++row)
            {
                spec.mMatrix.m[row][0] *= f;
                spec.mMatrix.m[row][1] *= f;
            }
            scales[static_cast<size_t>(i)] = scale;
            spec.mAlpha = 1 - 0.5f * logistic;
        }
        benchmark::DoNotOptimize(specs.data());
    }
}
BENCHMARK(BM_Plain_Update10000)->Unit(benchmark::kMicrosecond);

void BM_Transforms_AddRemove1000(benchmark::State& state)
{
    DeltaTime clock;
    TransformManager manager;
    std::vector<TDrawSpec> specs(kTargets);
    std::vector<std::unique_ptr<TM_Transform2D>> targets;
    for (TDrawSpec& spec : specs)
        targets.push_back(std::make_unique<TM_Transform2D>(&spec));
    for (auto _ : state)
    {
        for (auto& target : targets)
        {
            auto* list = new TM_InstructionList;
            list->push_back(new TM_Alpha(100, 0, 1, 0, 1.0f));
            manager.AddTransform(target.get(), list);
        }
        for (auto& target : targets)
            manager.RemoveTransforms(target.get());
    }
}
BENCHMARK(BM_Transforms_AddRemove1000)->Unit(benchmark::kMicrosecond);

// The peer: as many heap records made, found by a linear search and erased.
void BM_Plain_AddRemove1000(benchmark::State& state)
{
    struct Record
    {
        const void* target;
        std::vector<int> lists;
    };
    std::vector<TDrawSpec> specs(kTargets);
    for (auto _ : state)
    {
        std::vector<Record*> records;
        for (TDrawSpec& spec : specs)
        {
            auto* record = new Record{&spec, {1}};
            records.push_back(record);
        }
        for (TDrawSpec& spec : specs)
        {
            for (auto it = records.begin(); it != records.end(); ++it)
                if ((*it)->target == &spec)
                {
                    delete *it;
                    records.erase(it);
                    break;
                }
        }
        benchmark::DoNotOptimize(records.data());
    }
}
BENCHMARK(BM_Plain_AddRemove1000)->Unit(benchmark::kMicrosecond);
} // namespace
