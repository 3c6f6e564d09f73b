// Uploads a large file through CToothDetect::Detect to the fake analysis
// server on loopback, beside a plain loopback copy of the same file (read in
// blocks of the same size and sent whole), and reports both throughputs and
// how much the peak memory grew during each upload.
//   detect_bench [megabytes]      (default 50; also runs a tenth of it to show memory stays flat)
#include "FakeAnalysisServer.h"
#include "analysis/SocketShim.h"
#include "analysis/TextField.h"
#include "analysis/ToothDetect.h"

#ifdef _WIN32
#include <psapi.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int RUNS = 7;

// The peak resident memory of the process in KiB so far, and a way to start
// a fresh peak where the system has one.
long PeakKiB()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, 6, "VmHWM:") == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
#endif
}

void ResetPeak()
{
#ifndef _WIN32
    std::ofstream("/proc/self/clear_refs") << "5";
#endif
}

struct Result {
    double seconds = 1e9;
    long peakGrowthKiB = 0;
};

template <typename Upload> Result Measure(Upload upload)
{
    Result best;
    for (int run = 0; run < RUNS; ++run) {
        ResetPeak();
        const long before = PeakKiB();
        const auto start = Clock::now();
        if (!upload()) {
            std::fprintf(stderr, "upload failed\n");
            std::exit(1);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        best.seconds = std::min(best.seconds, seconds);
        best.peakGrowthKiB = std::max(best.peakGrowthKiB, PeakKiB() - before);
    }
    return best;
}

bool DetectUpload(unsigned short port, const std::string& path)
{
    CToothDetect detect;
    detect.SetServer("127.0.0.1", port);
    bool accepted = false;
    std::string posInfo;
    std::string disInfo;
    return detect.Detect("00112233-4455-6677-8899-AABBCCDDEEFF", "00-1A-2B-3C-4D-5E", path, "", &accepted, &posInfo,
                         &disInfo) &&
           accepted;
}

// The peer of the plain copy: read the file block by block, send each whole,
// while the other end drains the connection.
bool PlainCopy(const std::string& path, uint64_t size)
{
    LoopbackPair pair;
    if (!pair.Ok()) {
        return false;
    }
    uint64_t drained = 0;
    std::thread drain([&] {
        std::vector<char> buffer(64 * 1024);
        for (int n;
             drained < size && (n = ReceiveSome(pair.server, buffer.data(), static_cast<int>(buffer.size()))) > 0;) {
            drained += static_cast<uint64_t>(n);
        }
    });
    std::ifstream file(path, std::ios::binary);
    std::vector<char> block(FRAME_BUFFER_SIZE);
    bool ok = true;
    while (ok && file) {
        file.read(block.data(), static_cast<std::streamsize>(block.size()));
        const int len = static_cast<int>(file.gcount());
        for (int sent = 0; ok && sent < len;) {
            const int n = SendSome(pair.client, block.data() + sent, len - sent);
            ok = n > 0;
            sent += n;
        }
    }
    drain.join();
    return ok && drained == size;
}

std::string MakeFile(const std::filesystem::path& path, uint64_t size)
{
    std::ofstream file(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    for (size_t i = 0; i < chunk.size(); ++i) {
        chunk[i] = static_cast<char>(i * 131 + (i >> 9));
    }
    for (uint64_t left = size; left > 0;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
        file.write(chunk.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    return path.string();
}

void Report(const char* what, uint64_t size, const Result& result)
{
    std::printf("%-22s %8.1f MB/s  %7.3f s  peak memory +%ld KiB\n", what, size / 1e6 / result.seconds, result.seconds,
                result.peakGrowthKiB);
}

} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
#endif
    const uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 50;
    FakeAnalysisServer server(false);
    FakeScenario scenario;
    scenario.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", "boxes"}, {"#@DISINFO@#", "codes"}});
    server.SetScenario(scenario);
    if (!server.Start(0)) {
        std::fprintf(stderr, "cannot listen on loopback\n");
        return 1;
    }
    const auto folder = std::filesystem::temp_directory_path();
    for (const uint64_t size : {megabytes * 100000, megabytes * 1000000}) {
        const std::string path = MakeFile(folder / "quill_detect_bench.bin", size);
        std::printf("file of %llu bytes, best of %d runs\n", static_cast<unsigned long long>(size), RUNS);
        const Result detect = Measure([&] { return DetectUpload(server.Port(), path); });
        const Result plain = Measure([&] { return PlainCopy(path, size); });
        Report("Detect to fake server", size, detect);
        Report("plain loopback copy", size, plain);
        std::printf("Detect throughput / plain copy throughput = %.2f\n\n", plain.seconds / detect.seconds);
        const auto requests = server.Requests();
        if (requests.empty() || !requests.back().complete) {
            std::fprintf(stderr, "the server did not see a complete request\n");
            return 1;
        }
        std::filesystem::remove(path);
    }
    std::printf("peak resident memory of the whole process: %ld KiB\n", PeakKiB());
    return 0;
}
