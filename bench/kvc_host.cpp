// A component through kv's runner against the same KVCPROCESS called in
// this process, on a 4000 x 3000 image: "pixkit" is the runner with every
// copy kv makes (image into shared memory, destination from source, result
// back into the image), "inprocess" the library loaded here with the
// destination copy only. Gaussian Blur (radius 2) and Invert.
#include "effects/kvcrunner.h"
#include "kvc.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <dlfcn.h>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
constexpr std::size_t kPixels = std::size_t(kWidth) * kHeight, kBytes = kPixels * 4;

std::vector<std::uint32_t> Image() {
    std::vector<std::uint32_t> v(kPixels);
    std::mt19937 rng(1);
    for (auto& p : v) p = rng() & 0xFFFFFF;
    return v;
}

std::string File(const char* name) {
    return std::string(VM_BIN_DIR "/Comps/") + name;
}

std::array<std::uint8_t, 80> Values() {
    std::array<std::uint8_t, 80> v{};
    const double radius = 2.0;
    std::memcpy(v.data(), &radius, sizeof(radius));
    return v;
}

void Host(benchmark::State& state, const char* name) {
    kv::RunnerProgramOverride() = VM_BIN_DIR "/kvcrun";
    std::vector<std::uint32_t> image = Image();
    kv::KvcRunner runner;
    kv::KvcRunner::Loaded loaded;
    if (!runner.Load(File(name), loaded) || !runner.Reserve(2 * kBytes)) {
        state.SkipWithError(runner.Failure().c_str());
        return;
    }
    kvc::BlockLayout layout;
    layout.Source = {0, kWidth, kHeight};
    layout.Dest = {kBytes, kWidth, kHeight};
    layout.Right = kWidth - 1;
    layout.Bottom = kHeight - 1;
    const auto values = Values();
    runner.Call(KVCM_INIT, &layout, sizeof(layout), kv::KvcRunner::Wait::Limited);
    runner.Call(KVCM_PARAMS, values.data(), values.size(), kv::KvcRunner::Wait::Limited);
    std::uint8_t* shm = runner.Shared();
    for (auto _ : state) {
        std::memcpy(shm, image.data(), kBytes);
        std::memcpy(shm + kBytes, shm, kBytes);
        if (!runner.Call(KVCM_PROCESS, &layout, sizeof(layout), kv::KvcRunner::Wait::FullRun)) {
            state.SkipWithError(runner.Failure().c_str());
            return;
        }
        std::memcpy(image.data(), shm + kBytes, kBytes);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPixels));
}

void InProcess(benchmark::State& state, const char* name) {
    void* lib = dlopen(File(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    auto process =
        lib ? reinterpret_cast<std::int32_t (*)(void*, std::uint32_t)>(dlsym(lib, "KVCPROCESS"))
            : nullptr;
    if (process == nullptr) {
        state.SkipWithError("cannot load the component");
        return;
    }
    const std::vector<std::uint32_t> source = Image();
    std::vector<std::uint32_t> dest(kPixels);
    KVCBLOCK b{};
    b.source = const_cast<std::uint32_t*>(source.data());
    b.dest = dest.data();
    b.width = kWidth, b.height = kHeight, b.right = kWidth - 1, b.bottom = kHeight - 1;
    auto values = Values();
    process(&b, KVCM_INIT);
    process(values.data(), KVCM_PARAMS);
    for (auto _ : state) {
        std::memcpy(dest.data(), source.data(), kBytes);
        process(&b, KVCM_PROCESS);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPixels));
    dlclose(lib);
}

BENCHMARK_CAPTURE(Host, blur, "blur/GaussianBlur.kvc")
    ->Name("GaussianBlur/pixkit")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(InProcess, blur, "blur/GaussianBlur.kvc")
    ->Name("GaussianBlur/inprocess")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Host, invert, "colour/Invert.kvc")
    ->Name("Invert/pixkit")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(InProcess, invert, "colour/Invert.kvc")
    ->Name("Invert/inprocess")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
