// What capture itself costs: runs CSoundCapture on the primary device with a sink that only picks
// the channel and sums the samples, and prints process CPU time against wall time, and the share
// of the engine's capture thread (the rest is the platform's audio service inside the process).
//   audio_capture_cpu [seconds per run, default 60]
#include "audio/channel_picker.h"
#include "audio/dsound_capture_win.h"
#include "audio/sound_capture.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

struct StubSink {
    audio::ChannelPicker picker;
    int32_t channel = 0;
    volatile int64_t sum = 0;
    volatile uint64_t samples = 0;
    std::atomic<double> threadCpu{0};  // the capture thread's own CPU seconds so far

    static double ThreadCpuSeconds() {
        FILETIME created, exited, kernel, user;
        ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
        auto toSeconds = [](const FILETIME& f) {
            return double((uint64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime) * 1e-7;
        };
        return toSeconds(kernel) + toSeconds(user);
    }

    static void Call(void* context, const void* bytes, uint32_t byteCount) {
        auto* self = static_cast<StubSink*>(context);
        auto s = self->picker.Pick(bytes, byteCount, self->channel);
        int64_t total = 0;
        for (int16_t v : s) total += v;
        self->sum = self->sum + total;
        self->samples = self->samples + s.size();
        self->threadCpu = ThreadCpuSeconds();
    }
};

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto toSeconds = [](const FILETIME& f) {
        return double((uint64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime) * 1e-7;
    };
    return toSeconds(kernel) + toSeconds(user);
}

double WallSeconds() {
    LARGE_INTEGER f, c;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

void Report(const char* label, double cpu, double wall, uint64_t samples) {
    std::printf("%-28s cpu %7.3f s  wall %7.3f s  = %5.2f %% of a core  (%llu samples to the sink)\n", label, cpu,
                wall, 100.0 * cpu / wall, static_cast<unsigned long long>(samples));
}

bool Measure(const char* label, uint32_t rate, uint16_t channels, int32_t pick, int seconds) {
    audio::CSoundCapture capture{audio::DirectSoundServiceFactory()};
    StubSink sink;
    sink.channel = pick;
    if (capture.Open(std::nullopt) != 0 || capture.SetFormat(rate, 16, channels, 8) != 0) {
        std::printf("%-28s device refused the format\n", label);
        return false;
    }
    sink.picker.Reserve(capture.BufferBytes());
    double cpu0 = ProcessCpuSeconds(), wall0 = WallSeconds();
    if (capture.Start(&StubSink::Call, &sink) != 0) {
        std::printf("%-28s start failed\n", label);
        return false;
    }
    ::Sleep(static_cast<DWORD>(seconds) * 1000);
    capture.Stop();
    double cpu1 = ProcessCpuSeconds(), wall1 = WallSeconds();
    capture.Close();
    Report(label, cpu1 - cpu0, wall1 - wall0, sink.samples);
    std::printf("%-28s capture thread alone: cpu %7.3f s = %5.2f %% of a core\n", "", sink.threadCpu.load(),
                100.0 * sink.threadCpu.load() / (wall1 - wall0));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (seconds <= 0) seconds = 60;
    ::CoInitialize(nullptr);
    // The process's own background cost, for comparison.
    double cpu0 = ProcessCpuSeconds(), wall0 = WallSeconds();
    ::Sleep(static_cast<DWORD>(seconds < 10 ? seconds : 10) * 1000);
    Report("idle (no capture)", ProcessCpuSeconds() - cpu0, WallSeconds() - wall0, 0);
    bool ok = Measure("48000 Hz mono", 48000, 1, 0, seconds);
    ok = Measure("192000 Hz stereo, left", 192000, 2, 1, seconds) && ok;
    ::CoUninitialize();
    return ok ? 0 : 1;
}
