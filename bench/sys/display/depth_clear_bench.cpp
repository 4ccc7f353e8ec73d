// The device's depth clear of an 800 x 600 screen with a 16-bit depth buffer, beside memset of
// the same 960,000 bytes measured in the same run ("x_depth_memset"): the far plane (0xFFFF, a
// value of two equal bytes) and a middle depth (0x8000), over the whole screen (one block) and
// over a viewport inset by 50 pixels (row by row).
#include "depth_memset_peer.h"
#include "sys/display/device.h"
#include "sys/display/surface.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace sys::display;

namespace
{

void BM_Device_ClearDepth(benchmark::State& state)
{
    const float z = state.range(0) != 0 ? 1.0f : 0.5f;
    const bool inset = state.range(1) != 0;
    auto target = Surface::Create(800, 600, MakePixelFormat(FormatId::X8R8G8B8), CAPS_3DDEVICE);
    target->AddAttachedSurface(
        Surface::Create(800, 600, MakePixelFormat(FormatId::D16), CAPS_ZBUFFER));
    auto device = Device::Create(target, DeviceDesc{});
    if (device == nullptr ||
        (inset && Failed(device->SetViewport(Viewport{50, 50, 700, 500, 0.0f, 1.0f}))))
    {
        state.SkipWithError("no device");
        return;
    }
    const DepthMemsetPeer peer;
    for (auto _ : state)
    {
        device->Clear(0, nullptr, CLEAR_ZBUFFER, 0, z, 0);
        benchmark::ClobberMemory();
    }
    peer.Report(state);
}
BENCHMARK(BM_Device_ClearDepth)
    ->ArgNames({"far", "inset"})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({0, 1})
    ->Unit(benchmark::kMicrosecond);

} // namespace
