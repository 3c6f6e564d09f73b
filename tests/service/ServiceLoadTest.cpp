// The real Quillmere.exe in service mode under load and under clients that
// misbehave, with the fake analysis server answering at once.
#include "FakeAnalysisServer.h"
#include "ServiceClient.h"
#include "ServiceTestFiles.h"
#include "WinTestUtil.h"
#include "analysis/AnalysisServer.h"
#include "service/ServiceProtocol.h"

#include <gtest/gtest.h>

#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kStartBoundMs = 30000;
constexpr DWORD kEndBoundMs = 20000;
const std::string SHUTDOWN_FRAME = "PTL1;11;SHUTDOWN;0;";

struct ProcessSample {
    int request;
    DWORD handles;
    // PagefileUsage, as GetProcessMemoryInfo gives it too, which Wine fills
    // from the process's private resident memory. The working set is no
    // measure of a leak here: it counts shared file pages too, and the first
    // paint of Chinese text maps a font of about 2 MB into it in one step.
    long long privateKiB;
};

// The process's figures from the system's process list, which Wine fills
// from its server for every process (asked for another process directly, the
// handle count comes back 0 under Wine).
ProcessSample Sample(DWORD processId, int request)
{
    ProcessSample sample{request, 0, 0};
    std::vector<unsigned char> buffer(1 << 20);
    ULONG size = 0;
    if (!NT_SUCCESS(NtQuerySystemInformation(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                             &size))) {
        return sample;
    }
    for (size_t at = 0;;) {
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
        if (reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId) == processId) {
            sample.handles = entry->HandleCount;
            sample.privateKiB = static_cast<long long>(entry->VirtualMemoryCounters.PagefileUsage / 1024);
            return sample;
        }
        if (entry->NextEntryOffset == 0) {
            return sample;
        }
        at += entry->NextEntryOffset;
    }
}

// How a leak shows in memory sampled at even intervals: it grows in every
// interval, where a one-time step (a heap region added, a font loaded when
// the window is first activated) grows in one. So the typical step must stay
// small, and so must the growth of all steps but the largest.
struct MemorySteps {
    long long medianKiB;
    long long growthBesideLargestKiB;
};

MemorySteps StepsOf(const std::vector<ProcessSample>& samples)
{
    std::vector<long long> steps;
    for (size_t i = 1; i < samples.size(); ++i) {
        steps.push_back(samples[i].privateKiB - samples[i - 1].privateKiB);
    }
    std::sort(steps.begin(), steps.end());
    const long long growth = std::accumulate(steps.begin(), steps.end(), 0LL);
    return {steps[steps.size() / 2], growth - steps.back()};
}

std::string ReplyGuid(const ServiceAnswer& answer)
{
    return FieldValue(FrameValue(answer.bytes), "GUID");
}

class ServiceLoad : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fake.Start(ANALYSIS_SERVER_PORT));
        fake.SetScenario(AcceptWith("11,b\n"));
        program = std::make_unique<testutil::ProgramProcess>(L"/service");
        ASSERT_TRUE(program->Started());
        ASSERT_TRUE(WaitForServicePort(kStartBoundMs));
    }

    void TearDown() override
    {
        AskService(SHUTDOWN_FRAME, 2000);
        EXPECT_TRUE(program->WaitForEnd(kEndBoundMs));
    }

    std::string Image(int seed)
    {
        const std::wstring path = folder.File(L"scan" + std::to_wstring(seed) + L".jpg");
        if (!testutil::FileExists(path)) {
            WriteTestJpeg(path, seed);
        }
        return Narrow(path);
    }

    // The uploaded image of each analysis, by the GUID the server recorded.
    std::map<std::string, std::string> UploadsByGuid() const
    {
        std::map<std::string, std::string> uploads;
        for (const FakeRequest& request : fake.Requests()) {
            uploads[FieldValue(request.bytes, KEY_GUID)] = FieldValue(request.bytes, KEY_JPG);
        }
        return uploads;
    }

    testutil::ScratchFolder folder;
    FakeAnalysisServer fake;
    std::unique_ptr<testutil::ProgramProcess> program;
};

TEST_F(ServiceLoad, AThousandRequestsInARowAreAllAnsweredWithFlatHandlesAndMemory)
{
    constexpr int kRequests = 1000;
    constexpr int kSampleEvery = 50;
    // The first requests warm up what stays: the machine id, GDI+, the
    // sockets layer, a heap region the allocator adds once, which may come
    // as late as the hundredth request.
    constexpr int kWarmUp = 100;
    constexpr long long kMedianStepKiB = 8;
    constexpr long long kGrowthBesideLargestKiB = 256;

    // The measure itself moves with memory a process takes: one that stood
    // still would pass any leak.
    const ProcessSample before = Sample(GetCurrentProcessId(), 0);
    std::vector<char> taken(4 << 20, 1);
    const ProcessSample after = Sample(GetCurrentProcessId(), 0);
    ASSERT_GE(after.privateKiB - before.privateKiB, 3 * 1024) << "private memory is not measured";
    ASSERT_EQ(taken.back(), 1);

    const std::string image = Image(1);
    std::vector<ProcessSample> samples;
    int answered = 0;
    for (int i = 0; i < kRequests; ++i) {
        if (i >= kWarmUp && i % kSampleEvery == 0) {
            samples.push_back(Sample(program->Id(), i));
        }
        const ServiceAnswer answer = AskService(NewRequest("NEW", image));
        const std::string recorded = FieldValue(fake.LastRequest().bytes, KEY_GUID);
        if (answer.bytes == "RPT1;67;CODE;1;1" + Field("GUID", recorded) + Field("DISINFO", "b=11\n")) {
            ++answered;
        }
    }
    samples.push_back(Sample(program->Id(), kRequests));
    EXPECT_EQ(answered, kRequests);
    EXPECT_EQ(fake.RequestCount(), static_cast<size_t>(kRequests));

    for (const ProcessSample& s : samples) {
        std::printf("after %4d requests: %4lu handles, %7lld KiB private\n", s.request,
                    static_cast<unsigned long>(s.handles), s.privateKiB);
    }
    ASSERT_GT(samples.front().handles, 0u);
    for (const ProcessSample& s : samples) {
        EXPECT_EQ(s.handles, samples.front().handles) << "after " << s.request << " requests";
    }
    const MemorySteps steps = StepsOf(samples);
    EXPECT_LE(steps.medianKiB, kMedianStepKiB) << "private memory grows by this every " << kSampleEvery << " requests";
    EXPECT_LE(steps.growthBesideLargestKiB, kGrowthBesideLargestKiB);
}

TEST_F(ServiceLoad, SixteenClientsAtOnceEachGetTheAnalysesOfTheirOwnImages)
{
    constexpr int kClients = 16;
    constexpr int kRequestsEach = 20;
    std::vector<std::string> images;
    for (int k = 0; k < kClients; ++k) {
        images.push_back(Image(10 + k));
    }
    std::vector<std::vector<ServiceAnswer>> answers(kClients);
    std::vector<std::thread> clients;
    for (int k = 0; k < kClients; ++k) {
        clients.emplace_back([&, k] {
            for (int i = 0; i < kRequestsEach; ++i) {
                answers[k].push_back(AskService(NewRequest("NEW", images[k]), 60000));
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    const std::map<std::string, std::string> uploads = UploadsByGuid();
    EXPECT_EQ(uploads.size(), static_cast<size_t>(kClients * kRequestsEach));
    for (int k = 0; k < kClients; ++k) {
        const std::string bytes = testutil::ReadBytes(Widen(images[k]));
        for (const ServiceAnswer& answer : answers[k]) {
            const std::string guid = ReplyGuid(answer);
            ASSERT_EQ(answer.bytes, "RPT1;67;CODE;1;1" + Field("GUID", guid) + Field("DISINFO", "b=11\n"));
            const auto upload = uploads.find(guid);
            ASSERT_NE(upload, uploads.end());
            EXPECT_EQ(upload->second, bytes) << "client " << k << " got the analysis of another image";
        }
    }
}

TEST_F(ServiceLoad, ARequestWhoseHeaderComesInPiecesIsAnswered)
{
    const std::string request = NewRequest("NEW", Image(5));
    std::vector<size_t> everyByte;
    for (size_t i = 1; i < request.size(); ++i) {
        everyByte.push_back(i);
    }
    const struct {
        const char* what;
        std::vector<size_t> cuts;
        int pauseMs;
    } cases[] = {
        {"one byte per send", everyByte, 1},
        {"cut after 3 bytes", {3}, 400},
        {"cut after 5 bytes", {5}, 400},
        {"cut after 7 bytes", {7}, 400},
        {"cut after the frame header and inside the command's", {8, 12}, 400},
    };
    for (const auto& c : cases) {
        const ServiceAnswer answer = AskServiceInPieces(request, c.cuts, c.pauseMs);
        EXPECT_TRUE(answer.closed) << c.what;
        EXPECT_EQ(answer.bytes, "RPT1;67;CODE;1;1" + Field("GUID", ReplyGuid(answer)) + Field("DISINFO", "b=11\n"))
            << c.what;
    }
    EXPECT_EQ(fake.Requests().size(), std::size(cases));
}

TEST_F(ServiceLoad, AnIdleClientAndOneThatClosesHalfWayCostTheOthersNoMoreThanTheBound)
{
    const std::string image = Image(3);
    const double bound = REQUEST_READ_WAIT_MS / 1000.0;
    for (int round = 0; round < 2; ++round) {
        // Silent from the start, or silent inside a header that never ends.
        HeldConnection idle(round == 0 ? "" : "PTL1;1");
        HeldConnection halfWay("PTL1;14;NEW;8;D:\\");
        halfWay.Close();
        ASSERT_TRUE(idle.Connected());
        const auto start = std::chrono::steady_clock::now();
        const ServiceAnswer good = AskService(NewRequest("NEW", image), 60000);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(good.bytes, "RPT1;67;CODE;1;1" + Field("GUID", ReplyGuid(good)) + Field("DISINFO", "b=11\n"));
        EXPECT_LT(took, bound + 3.0) << "round " << round;
        EXPECT_TRUE(idle.ClosedByService(1000)) << "the idle client was not closed";
        std::printf("round %d: a good client behind an idle one waited %.2f s\n", round, took);
    }
    EXPECT_EQ(fake.Requests().size(), 2u);
}

} // namespace
