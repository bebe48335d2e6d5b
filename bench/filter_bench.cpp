// Time of one whole request of the Taviron tool: a 1920x1080 float RGBA
// frame filtered by the median of a 7-frame window (Frames 3, Both) on two
// worker threads, through Process as the host calls it.
#include <hostsdk/hostsdk.h>
#include <hostsdk/module.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr double kTime = 10.0;

// A clip of frames of noise, one per whole frame time around kTime.
class NoiseClip : public Source {
public:
    explicit NoiseClip(int frameCount) {
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> noise(0.0f, 1.0f);
        for (int i = 0; i < frameCount; ++i) {
            Image* frame = new Image(kWidth, kHeight, PixelType::Float, false);
            for (int channel = CHAN_BLUE; channel <= CHAN_ALPHA; ++channel) {
                for (int32_t y = 0; y < kHeight; ++y) {
                    float* row = static_cast<float*>(frame->RawRow(channel, y));
                    for (int32_t x = 0; x < kWidth; ++x) {
                        row[x] = noise(rng);
                    }
                }
            }
            frames_.push_back(frame);
        }
    }
    ~NoiseClip() override {
        for (Image* frame : frames_) {
            frame->Recycle();
        }
    }

    Parameter* Fetch(double time) override {
        const int index = static_cast<int>(time - kTime) + static_cast<int>(frames_.size()) / 2;
        if (index < 0 || index >= static_cast<int>(frames_.size())) {
            return nullptr;
        }
        frames_[index]->Use();
        return frames_[index];
    }

private:
    std::vector<Image*> frames_;
};

Input* InputOf(Operator* tool, const char* id) {
    Input* input = tool->FindInput(HostID(id, true));
    if (input == nullptr) {
        throw std::runtime_error(std::string("no input ") + id);
    }
    return input;
}

void MedianRequest(benchmark::State& state) {
    const std::unique_ptr<Module> module = Module::Load(TAVIRON_PLUGIN_PATH);
    Registry* record = ClassRegistry->Find(HostID("Orlemby.Taviron", true));
    if (record == nullptr) {
        state.SkipWithError("the module entered no Orlemby.Taviron");
        return;
    }
    Operator* tool = record->Create(ScriptVal{}, TagList{});
    InputOf(tool, "Input")->Connect(std::make_shared<NoiseClip>(7));
    InputOf(tool, "Frames")->SetValue(3.0);
    InputOf(tool, "SampleDirection")->SetValue(1.0);  // Both
    InputOf(tool, "FilterMethod")->SetValue(0.0);     // Median
    Output* output = tool->FindOutput(HostID("Output", true));

    const unsigned workers = WorkerThreadCount();
    SetWorkerThreadCount(2);
    for (auto _ : state) {
        Request request(tool, kTime);
        tool->Process(&request);
        Parameter* result = request.TakeOutputData(output);
        benchmark::DoNotOptimize(result);
        if (result != nullptr) {
            result->Recycle();
        }
    }
    SetWorkerThreadCount(workers);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    tool->Recycle();
}

BENCHMARK(MedianRequest)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
