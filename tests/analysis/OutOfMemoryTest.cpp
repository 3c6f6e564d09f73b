// Every operation of the analysis client and of the tooth-info loader, run
// with its first 0, 1, 2, ... allocations allowed: a run in which memory ran
// out reports failure by its result and throws nothing.
#include "AllocationFailure.h"
#include "FakeAnalysisServer.h"
#include "analysis/SocketIo.h"
#include "analysis/SocketShim.h"
#include "analysis/TextField.h"
#include "analysis/ToothDetect.h"
#include "analysis/ToothInfoLoader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Run {
    bool threw = false;
    bool struck = false;
    bool result = false;
};

Run RunAllowing(int allowed, const std::function<bool()>& operation)
{
    Run run;
    AllocationFailure failure(allowed);
    try {
        run.result = operation();
    } catch (const std::bad_alloc&) {
        run.threw = true;
    }
    run.struck = failure.Struck();
    return run;
}

struct Operation {
    const char* what;
    std::function<bool()> run;
};

void ExpectFalseWheneverMemoryRunsOut(const std::vector<Operation>& operations)
{
    constexpr int mostAllocations = 100000;
    for (const auto& operation : operations) {
        int allowed = 0;
        for (; allowed < mostAllocations; ++allowed) {
            const Run run = RunAllowing(allowed, operation.run);
            ASSERT_FALSE(run.threw) << operation.what << ": bad_alloc escaped after " << allowed << " allocations";
            if (!run.struck) {
                EXPECT_TRUE(run.result) << operation.what;
                break;
            }
            ASSERT_FALSE(run.result) << operation.what << ": success after " << allowed << " allocations";
        }
        EXPECT_LT(allowed, mostAllocations) << operation.what;
    }
}

const char TOOTH_BOXES_TEXT[] = "100,100,10,10,11\n200,100,10,10,18\n300,120,12,14,21\n";
const char FINDINGS_BY_TOOTH_TEXT[] = "11,bc\n18,m\n21,mpj\n36,?\n";
const char FINDINGS_BY_CODE_TEXT[] = "p=21,36\nb=11,36\nc=11\nm=18,48\n";

ToothInfoMap ExampleTeeth()
{
    ToothInfoMap teeth;
    for (const auto& entry : std::vector<std::pair<int, uint32_t>>{{11, 66}, {18, 8}, {21, 1}, {36, 4114}, {48, 9}}) {
        teeth[static_cast<uint32_t>(entry.first)].toothNumber = entry.first;
        teeth[static_cast<uint32_t>(entry.first)].findingMask = entry.second;
    }
    return teeth;
}

TEST(OutOfMemory, TheToothInfoLoaderReportsIt)
{
    // What the operations are given is made before memory runs short.
    const ToothInfoMap example = ExampleTeeth();
    const std::string line = "1,2,3,4,11";
    std::vector<std::string> fields{"1", "2", "3", "4", "11"};
    const auto parse = [](LoaderMode mode, const char* text) {
        return [mode, text] {
            ToothInfoMap teeth;
            CToothInfoLoader loader;
            loader.teethMap = &teeth;
            loader.loaderMode = mode;
            loader.onlyExisting = false;
            return loader.ParseText(text);
        };
    };
    const auto writer = [&example] {
        CToothInfoLoader loader;
        loader.constTeethMap = &example;
        loader.useConstTeethMap = true;
        return loader;
    };
    ExpectFalseWheneverMemoryRunsOut({
        {"tooth boxes", parse(TOOTH_BOXES, TOOTH_BOXES_TEXT)},
        {"findings by tooth", parse(FINDINGS_BY_TOOTH, FINDINGS_BY_TOOTH_TEXT)},
        {"findings by code", parse(FINDINGS_BY_CODE, FINDINGS_BY_CODE_TEXT)},
        {"one tooth-boxes line",
         [&] {
             ToothInfoMap teeth;
             CToothInfoLoader loader;
             loader.teethMap = &teeth;
             return loader.OnPositionRecord(0, line, fields);
         }},
        {"findings-by-tooth writer",
         [&] {
             std::string text;
             return writer().FormatToothFindings(FILTER_ALL_FINDINGS, text);
         }},
        {"findings-by-code writer",
         [&] {
             std::string text;
             return writer().FormatFindingTeeth(FILTER_ALL_FINDINGS, text);
         }},
        {"grouping",
         [&] {
             FindingTeethMap byCode;
             FindingTeethMap others;
             return writer().GroupTeethByFinding(2, byCode, &others);
         }},
        {"analysis reply",
         [] {
             ToothInfoMap teeth;
             return ReadAnalysisReply(teeth, TOOTH_BOXES_TEXT, FINDINGS_BY_TOOTH_TEXT, false);
         }},
        {"loopback reply",
         [] {
             std::string text;
             return FindingsByCodeFromReply(TOOTH_BOXES_TEXT, FINDINGS_BY_TOOTH_TEXT, false, &text);
         }},
        {"loopback update",
         [] {
             std::string text;
             return FindingsByToothFromUpdate(FINDINGS_BY_CODE_TEXT, &text);
         }},
        {"findings-text grouping",
         [&] {
             FindingTeethMap byCode;
             FindingTeethMap others;
             return GroupTeethForFindingsText(example, byCode, others);
         }},
    });
}

TEST(OutOfMemory, TheAnalysisClientReportsIt)
{
    FakeAnalysisServer server;
    ASSERT_TRUE(server.Start(0));
    FakeScenario scenario;
    scenario.reply = ReportFrame({{"#@RETCODE@#", "1"},
                                  {"#@POSINFO@#", TOOTH_BOXES_TEXT},
                                  {"#@DISINFO@#", FINDINGS_BY_TOOTH_TEXT},
                                  {"#@EXTINFO@#", "ab:cd"}});
    server.SetScenario(scenario);

    const fs::path folder = fs::temp_directory_path() / ("quill_oom_" + std::to_string(std::random_device()()));
    fs::create_directories(folder);
    const std::string image1 = (folder / "a.jpg").string();
    const std::string image2 = (folder / "b.jpg").string();
    std::ofstream(image1, std::ios::binary) << std::string(3 * FRAME_BUFFER_SIZE, 'a');
    std::ofstream(image2, std::ios::binary) << std::string(100, 'b');
    const std::string guid = "00112233-4455-6677-8899-AABBCCDDEEFF";
    const std::string mac = "00-1A-2B-3C-4D-5E";
    // What the requests are given is made before memory runs short.
    const std::string value = scenario.reply.substr(scenario.reply.find(';', 11) + 1);
    const std::string findings = FINDINGS_BY_TOOTH_TEXT;

    CToothDetect detect;
    detect.SetServer("127.0.0.1", server.Port());
    detect.SetReplyWait(10000);
    bool accepted = false;
    ExpectFalseWheneverMemoryRunsOut({
        {"one image",
         [&] {
             std::string posInfo;
             std::string disInfo;
             return detect.Detect(guid, mac, image1, "", &accepted, &posInfo, &disInfo);
         }},
        {"two images",
         [&] {
             std::string posInfo;
             std::string disInfo;
             return detect.Detect(guid, mac, image1, image2, &accepted, &posInfo, &disInfo);
         }},
        {"update", [&] { return detect.UpdateFindings(guid, mac, findings, &accepted); }},
        {"reflect",
         [&] {
             std::string echo;
             return detect.DataReflect("ab:cd", &accepted, &echo);
         }},
        {"test message",
         [&] {
             std::string part1;
             std::string part2;
             return detect.TestMessage(&accepted, &part1, &part2);
         }},
        {"reply fields",
         [&] {
             std::string posInfo;
             std::string disInfo;
             std::string extInfo;
             return CToothDetect::ReadReport(value.data(), static_cast<int>(value.size()), &accepted, &posInfo,
                                             &disInfo, &extInfo);
         }},
        {"a frame longer than the first receive",
         [&] {
             LoopbackPair pair;
             int sent = 0;
             char buf[16];
             TextFrame frame;
             return pair.Ok() &&
                    SendAll(&pair.server, scenario.reply.data(), static_cast<int>(scenario.reply.size()), &sent) &&
                    RecvFrame(&pair.client, buf, sizeof buf, "#@REPORT@#", &frame.data, &frame.len, &frame.offset,
                              MAX_REPORT_LEN, 10000);
         }},
    });
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

TEST(OutOfMemory, ALengthAboveTheBoundIsRefusedBeforeAnythingIsAllocated)
{
    // The header comes in two pieces; with no allocation allowed, a LEN over
    // the bound fails without asking for memory, while one within it needs
    // its value buffer.
    struct Case {
        const char* what;
        std::string first;
        std::string rest;
        bool asksForMemory;
    };
    const Case cases[] = {
        {"LEN one above the bound", "#@REPORT@#;10", "48577;abc", false},
        {"LEN of many digits", "#@REPORT@#;99999", "99999999999;abc", false},
        {"LEN within the bound", "#@REPORT@#;1", "00;abc", true},
    };
    for (const Case& c : cases) {
        LoopbackPair pair;
        ASSERT_TRUE(pair.Ok());
        int sent = 0;
        ASSERT_TRUE(SendAll(&pair.server, c.first.data(), static_cast<int>(c.first.size()), &sent));
        std::thread later([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            int restSent = 0;
            SendAll(&pair.server, c.rest.data(), static_cast<int>(c.rest.size()), &restSent);
            shutdown(pair.server, 1);
        });
        char buf[32];
        TextFrame frame;
        bool received = true;
        bool struck = false;
        {
            AllocationFailure failure(0);
            received = RecvFrame(&pair.client, buf, sizeof buf, "#@REPORT@#", &frame.data, &frame.len, &frame.offset,
                                 MAX_REPORT_LEN, 5000);
            struck = failure.Struck();
        }
        later.join();
        EXPECT_FALSE(received) << c.what;
        EXPECT_EQ(struck, c.asksForMemory) << c.what;
    }
}

} // namespace
