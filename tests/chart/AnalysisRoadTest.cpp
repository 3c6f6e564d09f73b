// The chart's road from an image to findings, against the fake analysis
// server on a loopback port, with a synthetic adapter table for the machine id.
#include "ChartTestHost.h"
#include "FakeAnalysisServer.h"
#include "WinTestUtil.h"

#include "analysis/FindingKind.h"
#include "foundation/JpegFile.h"
#include "foundation/MacAddressUtil.h"
#include "foundation/SystemSetting.h"
#include "foundation/TempFiles.h"
#include "res/resource.h"
#include "ui/GdiplusPtr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <optional>
#include <thread>

using namespace charttest;

namespace {

using testutil::ClipboardText;
using testutil::SetClipboardText;

constexpr char MACHINE_ID[] = "00-1A-2B-3C-4D-5E";
constexpr char USER_TEMPLATE[] = "[%BODY_BGN%]C:[%ccc%] M:[%mmm%] B:[%bbb%][%BODY_END%][%NONE_BGN%]-[%NONE_END%]";
constexpr char BOXES_11_18_21[] = "50,50,40,40,11\n150,50,40,40,18\n250,50,40,40,21\n";
constexpr char FINDINGS_11_18_35[] = "11,c\n18,m\n35,c\n";

// One qualifying adapter, or none.
AdapterTableQuery AdapterTable(bool withAdapter)
{
    if (withAdapter) {
        return testutil::OneAdapterTable;
    }
    return [](IP_ADAPTER_INFO*, ULONG*) -> ULONG { return ERROR_NO_DATA; };
}

// The value of the first field `key` in a request's bytes.
std::string FieldValue(const std::string& bytes, const std::string& key)
{
    const size_t at = bytes.find(key + ";");
    if (at == std::string::npos) {
        return "<absent>";
    }
    const size_t lenAt = at + key.size() + 1;
    const size_t valueAt = bytes.find(';', lenAt) + 1;
    return bytes.substr(valueAt, std::stoul(bytes.substr(lenAt, valueAt - 1 - lenAt)));
}

// A 24-bit JPEG; with `contrast` its right half is lighter, so that the
// sharpened view has levels to stretch.
bool WriteJpeg(const std::wstring& path, int width, int height, bool contrast = true)
{
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(0xFF, 0x30, 0x60, 0x90));
        if (contrast) {
            Gdiplus::SolidBrush light(Gdiplus::Color(0xFF, 0xC0, 0xD0, 0xE0));
            graphics.FillRectangle(&light, width / 2, 0, width - width / 2, height);
        }
    }
    return SaveImageAsJpeg(&bitmap, path.c_str());
}

FakeScenario Reply(const std::string& retCode, const std::string& boxes, const std::string& findings)
{
    FakeScenario scenario;
    scenario.reply = ReportFrame({{"#@RETCODE@#", retCode}, {"#@POSINFO@#", boxes}, {"#@DISINFO@#", findings}});
    return scenario;
}

std::vector<uint32_t> KeysOf(const ToothInfoMap& teeth)
{
    std::vector<uint32_t> keys;
    for (const auto& entry : teeth) {
        keys.push_back(entry.first);
    }
    return keys;
}

// Another program holding the clipboard open: a thread with a window of its
// own opens it and keeps it open for `holdMs`, putting `ownText` there when
// given. Constructed once it is held.
class ClipboardHolder {
public:
    ClipboardHolder(DWORD holdMs, const wchar_t* ownText)
    {
        std::promise<void> opened;
        thread = std::thread([this, holdMs, ownText, &opened] {
            HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
            // The test's own reads of the clipboard may have it for a moment.
            testutil::PumpUntil([&] { return OpenClipboard(window) != FALSE; }, 5000);
            opened.set_value();
            if (ownText != nullptr) {
                const std::wstring text = ownText;
                EmptyClipboard();
                HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
                std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
                GlobalUnlock(block);
                SetClipboardData(CF_UNICODETEXT, block);
            }
            Sleep(holdMs);
            CloseClipboard();
            released = true;
            DestroyWindow(window);
        });
        opened.get_future().wait();
    }
    ~ClipboardHolder() { thread.join(); }

    std::atomic<bool> released{false};

private:
    std::thread thread;
};

// Asks `window` for WM_NULL from another thread over and over, and counts
// the answers that took longer than `boundMs`.
class AnswerWatch {
public:
    AnswerWatch(HWND window, UINT boundMs)
        : thread([this, window, boundMs] {
              while (!stop) {
                  DWORD_PTR result = 0;
                  if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, boundMs, &result) == 0) {
                      ++late;
                  }
                  Sleep(10);
              }
              finished = true;
          })
    {
    }
    ~AnswerWatch() { Stop(); }
    // Answers the last question while it waits for the thread.
    int Stop()
    {
        stop = true;
        if (thread.joinable()) {
            testutil::PumpUntil([&] { return finished.load(); }, 10000);
            thread.join();
        }
        return late;
    }

private:
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::atomic<int> late{0};
    std::thread thread;
};

unsigned short ClosedPort()
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(s);
    return ntohs(address.sin_port);
}

class AnalysisRoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.created);
        ASSERT_TRUE(server.Start(0));
        // A machine id found by an earlier test would stay for the process.
        g_macAddressUtil.Refresh(AdapterTable(false));
        chart.serverHost = "127.0.0.1";
        chart.serverPort = server.Port();
        chart.adapterTable = AdapterTable(true);
        GetCurrentDirectoryW(MAX_PATH, previousFolder);
        SetCurrentDirectoryW(folder.Path().c_str());
        CreateDirectoryW(folder.File(L"Record").c_str(), nullptr);
        testutil::WriteBytes(folder.File(L"Record\\User.tpl"), USER_TEMPLATE);
        SetClipboardText(L"previous");
        jpeg = folder.File(L"colour.jpg");
        ASSERT_TRUE(WriteJpeg(jpeg, 400, 300));
        const std::string data = QUILL_CHART_TEST_DATA;
        grey = std::wstring(data.begin(), data.end()) + L"\\grey.jpg";
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(previousFolder);
        g_systemSetting.missEnd = false;
        DeleteTempFiles();
    }

    // The image as the chart's only file, with a tooth from an earlier
    // analysis on it.
    void Show(const std::wstring& file)
    {
        ASSERT_TRUE(chart.SetImageFiles({file}));
        chart.displayedTeeth[ToothKey(0, 47)] = Tooth(47, FINDING_CAVITY, {10, 10, 20, 20});
        chart.findingsText = L"earlier";
    }

    std::string OnlyRequest()
    {
        const auto requests = server.Requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? std::string() : requests.front().bytes;
    }

    testutil::ScratchFolder folder;
    ChartHost host{{0, 0, 400, 300}};
    CToothStatic& chart = host.chart;
    FakeAnalysisServer server;
    wchar_t previousFolder[MAX_PATH] = {};
    std::wstring jpeg;
    std::wstring grey;
};

TEST_F(AnalysisRoadTest, AnAnalysisThatCannotStartConnectsNowhereAndLeavesNothingOfAnotherImage)
{
    const std::wstring longFolder = folder.Path() + L"\\" + std::wstring(230, L'x');
    const std::wstring missingFolder = folder.File(L"missing");
    const std::wstring undecodable = folder.File(L"broken.jpg");
    testutil::WriteBytes(undecodable, "not a picture");
    const std::wstring missing = folder.File(L"gone.jpg");
    const std::wstring truncated = folder.File(L"truncated.jpg");
    testutil::WriteBytes(truncated, testutil::ReadBytes(jpeg).substr(0, 300));
    // Without levels to stretch the sharpened copy cannot be made.
    const std::wstring flat = folder.File(L"flat.jpg");
    ASSERT_TRUE(WriteJpeg(flat, 40, 30, false));
    const wchar_t* const userText = L"from the editor";
    const struct {
        const char* name;
        bool newImage; // else the analysed image is analysed again
        std::vector<std::wstring> files;
        std::wstring tempFolder; // empty: the test run's own
        bool sharpened;
        bool sendBoth;
        bool adapter;
        const wchar_t* copiedSince; // by another program after the analysis; null: nothing
        const wchar_t* clipboardAfter;
    } cases[] = {
        {"no current image", true, {}, L"", false, false, true, nullptr, L""},
        {"no temporary path", false, {}, longFolder, false, false, true, nullptr, L"earlier"},
        {"a new image that was not decoded", true, {undecodable}, L"", false, false, true, nullptr, L""},
        {"a missing new image, text pasted back", true, {missing}, L"", false, false, true, L"earlier", L""},
        {"a new image cut short, text copied since", true, {truncated}, L"", false, false, true, userText, userText},
        {"sharpened copy cannot be saved", false, {}, missingFolder, true, false, true, nullptr, L"earlier"},
        {"a flat new image, sharpened view", true, {flat}, L"", true, false, true, nullptr, L""},
        {"a flat new image, both images", true, {flat}, L"", false, true, true, nullptr, L""},
        {"no qualifying adapter", false, {}, L"", false, false, false, userText, userText},
    };
    wchar_t tempVariable[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", tempVariable, MAX_PATH);
    for (const auto& c : cases) {
        // As the analysis of the image before left them.
        chart.showSharpened = false;
        chart.sendBoth = false;
        ASSERT_TRUE(chart.SetImageFiles({jpeg})) << c.name;
        chart.findingsText = L"earlier";
        ASSERT_TRUE(chart.CopyTextToClipboard(L"earlier")) << c.name;
        if (c.copiedSince != nullptr) {
            SetClipboardText(c.copiedSince);
        }
        chart.showSharpened = c.sharpened;
        chart.sendBoth = c.sendBoth;
        if (c.newImage) {
            ASSERT_TRUE(chart.SetImageFiles(c.files)) << c.name;
        }
        chart.displayedTeeth[ToothKey(0, 47)] = Tooth(47, FINDING_CAVITY, {10, 10, 20, 20});
        chart.adapterTable = AdapterTable(c.adapter);
        if (!c.tempFolder.empty()) {
            SetEnvironmentVariableW(L"TMP", (c.tempFolder + L"\\").c_str());
        }
        const ToothInfoMap before = chart.displayedTeeth;
        EXPECT_FALSE(chart.AnalyzeCurrentImage()) << c.name;
        SetEnvironmentVariableW(L"TMP", tempVariable);
        EXPECT_EQ(KeysOf(chart.displayedTeeth), KeysOf(before)) << c.name;
        EXPECT_TRUE(chart.parsedTeeth.empty()) << c.name;
        EXPECT_EQ(chart.findingsText, c.newImage ? L"" : L"earlier") << c.name;
        EXPECT_EQ(ClipboardText(), c.clipboardAfter) << c.name;
        EXPECT_TRUE(server.Requests().empty()) << c.name;
    }
}

TEST_F(AnalysisRoadTest, AFailedOrRefusedRequestShowsNoBoxesAndLeavesNoPatientsTextToPaste)
{
    const struct {
        const char* name;
        bool reachable;
        FakeScenario scenario;
    } cases[] = {
        {"no connection", false, {}},
        {"refused", true, Reply("0", BOXES_11_18_21, FINDINGS_11_18_35)},
        {"garbage reply", true,
         [] {
             FakeScenario s;
             s.reply = "this is not a frame\r\n";
             return s;
         }()},
        {"truncated reply", true,
         [] {
             FakeScenario s;
             s.reply = "#@REPORT@#;40;#@RETCODE@#;1;1";
             return s;
         }()},
        {"server closes", true,
         [] {
             FakeScenario s;
             s.closeAtOnce = true;
             return s;
         }()},
        {"accepted, findings but no readable box", true, Reply("1", "zzz,not,real,tooth,boxes", "26,c\n36,a\n")},
        {"accepted, naming no tooth", true, Reply("1", "", "")},
        {"accepted, findings written kind first", true, Reply("1", BOXES_11_18_21, "c,26,36\n")},
    };
    for (const auto& c : cases) {
        server.SetScenario(c.scenario);
        chart.serverPort = c.reachable ? server.Port() : ClosedPort();
        // The previous patient's text as the chart put it there, which must
        // not be pasted for this one; the user's own text from another
        // program, which stays theirs.
        for (const bool chartsText : {true, false}) {
            Show(jpeg);
            chart.AddToothTips();
            ASSERT_EQ(chart.toolTipCtrl.GetToolCount(), 1) << c.name;
            ValidateRect(chart.GetSafeHwnd(), nullptr);
            if (chartsText) {
                ASSERT_TRUE(chart.CopyTextToClipboard(L"previous")) << c.name;
            } else {
                SetClipboardText(L"from the editor");
            }

            EXPECT_TRUE(chart.AnalyzeCurrentImage()) << c.name;
            EXPECT_TRUE(chart.displayedTeeth.empty()) << c.name;
            EXPECT_TRUE(chart.parsedTeeth.empty()) << c.name;
            // The earlier tooth's tool goes with it.
            EXPECT_EQ(chart.toolTipCtrl.GetToolCount(), 0) << c.name;
            EXPECT_EQ(chart.findingsText, L"") << c.name;
            const wchar_t* const left = chartsText ? L"" : L"from the editor";
            EXPECT_EQ(ClipboardText(), left) << c.name;
            EXPECT_TRUE(GetUpdateRect(chart.GetSafeHwnd(), nullptr, FALSE)) << c.name;
            // Nor does the copy command report "nothing found" for this patient.
            SendMessageW(chart.GetSafeHwnd(), WM_COMMAND, ID_COPY_FINDINGS, 0);
            EXPECT_EQ(ClipboardText(), left) << c.name;
        }
    }

    // The next analysis that succeeds copies its text again.
    server.SetScenario(Reply("1", BOXES_11_18_21, FINDINGS_11_18_35));
    chart.serverPort = server.Port();
    EXPECT_TRUE(chart.AnalyzeCurrentImage());
    EXPECT_EQ(chart.findingsText, L"C:11 M:- B:-");
    EXPECT_EQ(ClipboardText(), L"C:11 M:- B:-");
}

// Patient A analysed, then patient B started: what the clipboard holds of A
// is gone once B is, whether B's analysis fails or succeeds, and what the user
// copied from another program stays. Another program may hold the clipboard
// open while B starts, for as long as it likes: the chart's window keeps
// answering, and the clipboard is set right as soon as it is let go.
TEST_F(AnalysisRoadTest, ASwitchToTheNextPatientLeavesNothingOfTheFirstOnTheClipboard)
{
    constexpr UINT ANSWER_BOUND_MS = 200;
    // What the clipboard may take to be set right once it is let go.
    constexpr DWORD SETTLE_BOUND_MS = 2000;
    const wchar_t* const textOfA = L"C:11 M:- B:-";
    const wchar_t* const correctedTextOfA = L"C:- M:11 B:-";
    const wchar_t* const textOfB = L"C:- M:- B:11";
    const wchar_t* const userText = L"from the editor";
    const std::wstring patientB = folder.File(L"patient B.jpg");
    ASSERT_TRUE(WriteJpeg(patientB, 300, 200));
    enum class Before { TextOfA, CorrectedTextPastedBack, UserText, FileOfA };
    const struct {
        const char* name;
        Before before;
        DWORD holdMs;                 // by another program while B starts; 0: not held
        const wchar_t* putDuringHold; // by the program that holds it
        bool bSucceeds;
        const wchar_t* after;
    } cases[] = {
        {"B fails, text from another program", Before::UserText, 0, nullptr, false, userText},
        {"B fails, A's corrected text pasted back", Before::CorrectedTextPastedBack, 0, nullptr, false, L""},
        {"B fails, A's image file copied", Before::FileOfA, 0, nullptr, false, L""},
        {"B fails, held 0.5 s", Before::TextOfA, 500, nullptr, false, L""},
        {"B succeeds, held 0.5 s", Before::TextOfA, 500, nullptr, true, textOfB},
        {"B fails, held 1.5 s", Before::TextOfA, 1500, nullptr, false, L""},
        {"B succeeds, held 1.5 s", Before::TextOfA, 1500, nullptr, true, textOfB},
        {"B fails, A's image file, held 5 s", Before::FileOfA, 5000, nullptr, false, L""},
        {"B succeeds, held 5 s", Before::TextOfA, 5000, nullptr, true, textOfB},
        {"B succeeds, A's image file, held 20 s", Before::FileOfA, 20000, nullptr, true, textOfB},
        {"B fails, the holder's own text", Before::TextOfA, 1500, userText, false, userText},
        {"B succeeds, the holder's own text", Before::TextOfA, 1500, userText, true, userText},
    };
    for (const auto& c : cases) {
        server.SetScenario(Reply("1", BOXES_11_18_21, FINDINGS_11_18_35));
        ASSERT_TRUE(chart.SetImageFiles({jpeg})) << c.name;
        ASSERT_TRUE(chart.AnalyzeCurrentImage()) << c.name;
        ASSERT_EQ(ClipboardText(), textOfA) << c.name;
        if (c.before == Before::CorrectedTextPastedBack) {
            // Corrected in the findings menu, pasted into the record and
            // copied from there again.
            chart.displayedTeeth[11].findingMask = FINDING_MISSING;
            SendMessageW(chart.GetSafeHwnd(), WM_COMMAND, ID_COPY_FINDINGS, 0);
            ASSERT_EQ(ClipboardText(), correctedTextOfA) << c.name;
            SetClipboardText(correctedTextOfA);
        } else if (c.before == Before::UserText) {
            SetClipboardText(userText);
        } else if (c.before == Before::FileOfA) {
            SendMessageW(chart.GetSafeHwnd(), WM_COMMAND, ID_COPY_IMAGE_FILE, 0);
            ASSERT_TRUE(IsClipboardFormatAvailable(CF_HDROP)) << c.name;
        }
        server.SetScenario(c.bSucceeds ? Reply("1", "50,50,40,40,11\n", "11,b\n") : Reply("0", "", ""));
        std::optional<ClipboardHolder> holder;
        if (c.holdMs > 0) {
            holder.emplace(c.holdMs, c.putDuringHold);
            ASSERT_NE(GetOpenClipboardWindow(), nullptr) << c.name;
        }
        AnswerWatch answers(chart.GetSafeHwnd(), ANSWER_BOUND_MS);
        ASSERT_TRUE(chart.SetImageFiles({patientB})) << c.name;
        EXPECT_TRUE(chart.AnalyzeCurrentImage()) << c.name;
        if (holder) {
            EXPECT_TRUE(testutil::PumpUntil([&] { return holder->released.load(); }, c.holdMs + 10000)) << c.name;
        }
        const auto settled = [&] { return ClipboardText() == c.after && !IsClipboardFormatAvailable(CF_HDROP); };
        EXPECT_TRUE(testutil::PumpUntil(settled, SETTLE_BOUND_MS)) << c.name;
        EXPECT_EQ(ClipboardText(), c.after) << c.name;
        EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP)) << c.name << ": A's image file stayed";
        EXPECT_EQ(answers.Stop(), 0) << c.name << ": the window did not answer within " << ANSWER_BOUND_MS << " ms";
    }
}

TEST_F(AnalysisRoadTest, WithoutTheUserTemplateTheBoxesShowAndTheTextsStay)
{
    DeleteFileW(folder.File(L"Record\\User.tpl").c_str());
    server.SetScenario(Reply("1", BOXES_11_18_21, FINDINGS_11_18_35));
    Show(jpeg);
    EXPECT_TRUE(chart.AnalyzeCurrentImage());
    EXPECT_EQ(chart.displayedTeeth.size(), 2u);
    EXPECT_EQ(chart.findingsText, L"earlier");
    EXPECT_EQ(ClipboardText(), L"previous");
}

TEST_F(AnalysisRoadTest, TheReplysTeethAreFiledWithScreenBoxesAndMissingWisdomTeethFollowTheSetting)
{
    server.SetScenario(Reply("1", BOXES_11_18_21, FINDINGS_11_18_35));
    const struct {
        bool missEnd;
        std::vector<uint32_t> keys;
        const wchar_t* text;
    } cases[] = {
        {false, {11, 21}, L"C:11 M:- B:-"},
        {true, {11, 18, 21}, L"C:11 M:18 B:-"},
    };
    for (const auto& c : cases) {
        g_systemSetting.missEnd = c.missEnd;
        Show(jpeg);
        ASSERT_TRUE(chart.AnalyzeCurrentImage());
        EXPECT_EQ(KeysOf(chart.displayedTeeth), c.keys);
        EXPECT_EQ(chart.displayedTeeth[11].findingMask, uint32_t{FINDING_CAVITY});
        EXPECT_EQ(chart.displayedTeeth[21].findingMask, uint32_t{FINDING_HEALTHY});
        if (c.missEnd) {
            EXPECT_EQ(chart.displayedTeeth[18].findingMask, uint32_t{FINDING_MISSING});
        }
        const RECT box = chart.displayedTeeth[21].screenBox;
        EXPECT_EQ(box.left, 230);
        EXPECT_EQ(box.top, 30);
        EXPECT_EQ(box.right, 270);
        EXPECT_EQ(box.bottom, 70);
        EXPECT_EQ(chart.findingsText, c.text);
        EXPECT_EQ(ClipboardText(), c.text);
    }
    // The default filter has the Healthy bit, so 21 is tipped too.
    EXPECT_EQ(chart.toolTipCtrl.GetToolCount(), 3);
}

TEST_F(AnalysisRoadTest, ASecondAnalysisWithFewerTeethLeavesOnlyTheNewTeethAndTheirTools)
{
    server.AddScenario(Reply("1", BOXES_11_18_21, "11,c\n18,c\n21,c\n"));
    server.AddScenario(Reply("1", "50,50,40,40,11\n", "11,b\n"));
    Show(jpeg);
    ASSERT_TRUE(chart.AnalyzeCurrentImage());
    EXPECT_EQ(chart.toolTipCtrl.GetToolCount(), 3);
    ASSERT_TRUE(chart.AnalyzeCurrentImage());
    EXPECT_EQ(KeysOf(chart.displayedTeeth), std::vector<uint32_t>{11});
    EXPECT_EQ(chart.displayedTeeth[11].findingMask, uint32_t{FINDING_CROWN_BRIDGE});
    EXPECT_EQ(chart.toolTipCtrl.GetToolCount(), 1);
    EXPECT_EQ(ClipboardText(), L"C:- M:- B:11");
}

TEST_F(AnalysisRoadTest, ATwentyFourBitImageIsUploadedAsItselfWithNothingRegistered)
{
    server.SetScenario(Reply("1", "", ""));
    const std::string jpegBytes = testutil::ReadBytes(jpeg);
    const std::string greyBytes = testutil::ReadBytes(grey);
    ASSERT_FALSE(greyBytes.empty());

    Show(jpeg);
    ASSERT_EQ(chart.pixelFormat, PixelFormat24bppRGB);
    ASSERT_TRUE(chart.AnalyzeCurrentImage());
    std::string request = OnlyRequest();
    const std::string guid = FieldValue(request, "#@GUID@#");
    EXPECT_EQ(request, Field("#@GUID@#", guid) + Field("#@MACADDRESS@#", MACHINE_ID) + Field("#@JPG@#", jpegBytes) +
                           Field("#@NEWPANO@#", ""));
    EXPECT_TRUE(g_tempFiles.empty());
}

TEST_F(AnalysisRoadTest, AnImageInAFolderNoCodePageCanSpellIsUploadedAloneAndWithItsSharpenedCopy)
{
    server.SetScenario(Reply("1", "", ""));
    // Chinese, Greek and an emoji: no ANSI code page holds them all.
    const std::wstring patient =
        folder.File(L"\u75c5\u60a3 \u738b\u5c0f\u660e \u03a9\u03bc\u03ad\u03b3\u03b1 \U0001F9B7");
    ASSERT_TRUE(CreateDirectoryW(patient.c_str(), nullptr));
    const std::wstring image = patient + L"\\\u5168\u53e3\u7247.jpg";
    ASSERT_TRUE(CopyFileW(jpeg.c_str(), image.c_str(), TRUE));
    const std::string bytes = testutil::ReadBytes(jpeg);

    Show(image);
    ASSERT_TRUE(chart.AnalyzeCurrentImage());
    EXPECT_EQ(FieldValue(OnlyRequest(), "#@JPG@#"), bytes);

    chart.sendBoth = true;
    ASSERT_TRUE(chart.AnalyzeCurrentImage());
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(FieldValue(requests.back().bytes, "#@JPG@#"), bytes);
    EXPECT_NE(FieldValue(requests.back().bytes, "#@SJPG@#"), "<absent>");
}

TEST_F(AnalysisRoadTest, AGreyImageGoesAsARegisteredTwentyFourBitCopyThatIsDeletedLater)
{
    server.SetScenario(Reply("1", "", ""));
    Show(grey);
    ASSERT_NE(chart.pixelFormat, PixelFormat24bppRGB);
    ASSERT_TRUE(chart.AnalyzeCurrentImage());
    const std::string uploaded = FieldValue(OnlyRequest(), "#@JPG@#");
    ASSERT_EQ(g_tempFiles.size(), 1u);
    const std::wstring copy = g_tempFiles.front();
    EXPECT_EQ(testutil::ReadBytes(copy), uploaded);
    {
        Gdiplus::Bitmap decoded(copy.c_str());
        EXPECT_EQ(decoded.GetPixelFormat(), PixelFormat24bppRGB);
        EXPECT_EQ(decoded.GetWidth(), 64u);
    }
    DeleteTempFiles();
    EXPECT_FALSE(testutil::FileExists(copy));
}

TEST_F(AnalysisRoadTest, TheSharpenedCopyIsNamedByTheRequestsGuidAndSentAloneOrSecond)
{
    server.SetScenario(Reply("1", "", ""));
    const struct {
        const char* name;
        bool showSharpened;
        bool sendBoth;
        const char* token;
    } cases[] = {
        {"sharpened view", true, false, "#@NEWPANO@#"},
        {"both, view off", false, true, "#@SNEWPANO@#"},
        {"both, view on", true, true, "#@SNEWPANO@#"},
    };
    size_t requests = 0;
    for (const auto& c : cases) {
        Show(grey);
        chart.showSharpened = c.showSharpened;
        chart.sendBoth = c.sendBoth;
        ASSERT_TRUE(chart.AnalyzeCurrentImage()) << c.name;
        const auto all = server.Requests();
        ASSERT_EQ(all.size(), ++requests) << c.name;
        const std::string& request = all.back().bytes;
        const std::string guid = FieldValue(request, "#@GUID@#");
        const auto named = std::find_if(g_tempFiles.begin(), g_tempFiles.end(), [&](const std::wstring& path) {
            const std::wstring name = std::wstring(guid.begin(), guid.end()) + L".jpg";
            return path.size() > name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0;
        });
        ASSERT_NE(named, g_tempFiles.end()) << c.name;
        const std::string sharpened = testutil::ReadBytes(*named);
        ASSERT_FALSE(sharpened.empty()) << c.name;
        if (c.sendBoth) {
            // The file itself first, never the 24-bit copy.
            EXPECT_EQ(FieldValue(request, "#@JPG@#"), testutil::ReadBytes(grey)) << c.name;
            EXPECT_EQ(FieldValue(request, "#@SJPG@#"), sharpened) << c.name;
        } else {
            EXPECT_EQ(FieldValue(request, "#@JPG@#"), sharpened) << c.name;
            EXPECT_EQ(FieldValue(request, "#@SJPG@#"), "<absent>") << c.name;
        }
        EXPECT_NE(request.find(std::string(c.token) + ";0;"), std::string::npos) << c.name;
    }
}

struct CaptureListener : CToothStaticListener {
    void OnToothChartEvent(int, int) override {}
    void OnOpenImage(const std::wstring& path) override { paths.push_back(path); }
    std::vector<std::wstring> paths;
};

TEST(CaptureScreenTest, TheStoredRegionIsCapturedIntoARegisteredFileHandedToTheListener)
{
    testutil::ScratchFolder folder;
    // Away from the other tests' windows, and above them.
    const RECT placed{1100, 100, 1500, 400};
    ChartHost host(placed);
    ASSERT_TRUE(host.created);
    SetWindowPos(host.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    const std::wstring image = folder.File(L"image.bmp");
    ASSERT_TRUE(WriteSolidImage(image, 40, 30, RGB(0x20, 0x40, 0x60)));
    ASSERT_TRUE(host.chart.SetImageFiles({image}));
    UpdateWindow(host.chart.GetSafeHwnd());
    CaptureListener listener;
    host.chart.listener = &listener;
    const RECT saved = g_systemSetting.captureRect;
    // The region captured below shows the image on the screen first.
    ASSERT_TRUE(testutil::WaitForScreenColour({1200, 200, 1300, 250}, 0x204060));

    // A region without area captures nothing and hands nothing on.
    g_systemSetting.captureRect = {1200, 200, 1200, 300};
    EXPECT_EQ(SendMessageW(host.chart.GetSafeHwnd(), WM_CAPTURE_SCREEN, 0, 0), 0);
    EXPECT_TRUE(listener.paths.empty());
    EXPECT_TRUE(g_tempFiles.empty());

    g_systemSetting.captureRect = {1200, 200, 1300, 250};
    EXPECT_EQ(SendMessageW(host.chart.GetSafeHwnd(), WM_CAPTURE_SCREEN, 0, 0), 0);
    g_systemSetting.captureRect = saved;
    ASSERT_EQ(listener.paths.size(), 1u);
    EXPECT_EQ(g_tempFiles, listener.paths);
    EXPECT_FALSE(host.chart.toolbarShown);
    {
        Gdiplus::Bitmap captured(listener.paths[0].c_str());
        ASSERT_EQ(captured.GetLastStatus(), Gdiplus::Ok);
        EXPECT_EQ(captured.GetWidth(), 100u);
        EXPECT_EQ(captured.GetHeight(), 50u);
        Gdiplus::Color pixel;
        captured.GetPixel(50, 25, &pixel);
        EXPECT_NEAR(pixel.GetR(), 0x20, 24);
        EXPECT_NEAR(pixel.GetG(), 0x40, 24);
        EXPECT_NEAR(pixel.GetB(), 0x60, 24);
    }
    DeleteTempFiles();
    EXPECT_FALSE(testutil::FileExists(listener.paths[0]));
}

} // namespace
