// Requests per second through the service mode: the real Quillmere.exe
// /service with the fake analysis server answering at once, for a 3000 x 1500
// JPEG panoramic picture.
//   NEW       beside the same upload made by a plain client (CToothDetect)
//             straight to the fake server;
//   NEWSHARP  beside the decode, the effects and the encode of the same image
//             in this process, and on a grey JPEG of one component (as X-ray
//             machines write) beside the colour one.
//   service_bench [requests]    (default 20 of each)
// Run from the build folder's bench folder; Quillmere.exe lies one level up.
#include "FakeAnalysisServer.h"
#include "JpegChannels.h"
#include "PanoramicBitmap.h"
#include "analysis/SocketIo.h"
#include "analysis/SocketShim.h"
#include "analysis/ToothDetect.h"
#include "foundation/JpegFile.h"
#include "service/ServiceProtocol.h"
#include "service/SharpenImageToFile.h"
#include "ui/Handles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string Field(const std::string& key, const std::string& value)
{
    return key + ";" + std::to_string(value.size()) + ";" + value;
}

// One request to the service; true when a result reply came back.
bool AskService(const std::string& command, const std::string& path)
{
    OwnedSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(SERVICE_PORT);
    inet_pton(AF_INET, SERVICE_ADDRESS, &address.sin_addr);
    if (connect(s.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return false;
    }
    const std::string frame = Field("PTL1", Field(command, path));
    int sent = 0;
    if (!SendAll(s.Ptr(), frame.data(), static_cast<int>(frame.size()), &sent)) {
        return false;
    }
    std::string reply;
    char buffer[4096];
    for (int got; (got = ReceiveSome(s.Get(), buffer, sizeof buffer)) > 0;) {
        reply.append(buffer, static_cast<size_t>(got));
    }
    return reply.find("CODE;1;1") != std::string::npos;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs `a` and `b` in turns, `count` times each, so that a drift in the
// machine's load touches both alike; their rates per second from the median
// time of one run, which a stray stall of the shared machine does not move.
template <typename A, typename B> std::pair<double, double> PerSecondInTurns(int count, A a, B b)
{
    std::vector<double> secondsA;
    std::vector<double> secondsB;
    const auto timed = [](auto& work, std::vector<double>* seconds) {
        const auto start = Clock::now();
        if (!work()) {
            std::fprintf(stderr, "a request failed\n");
            std::exit(1);
        }
        seconds->push_back(std::chrono::duration<double>(Clock::now() - start).count());
    };
    for (int i = 0; i < count; ++i) {
        timed(a, &secondsA);
        timed(b, &secondsB);
    }
    return {1 / Median(secondsA), 1 / Median(secondsB)};
}

long long ImageBytes(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring BesideProgram(const wchar_t* name)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.find_last_of(L'\\'));
    folder.resize(folder.find_last_of(L'\\'));
    return folder + L"\\" + name;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 20;
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring imagePath = std::wstring(temp) + L"service-bench-3000x1500.jpg";
    const std::wstring sharpPath = std::wstring(temp) + L"service-bench-sharp.jpg";
    PanoramicImage image(3000, 1500);
    if (!SaveImageAsJpeg(ToBitmap(image).get(), imagePath.c_str())) {
        std::fprintf(stderr, "cannot write the test image\n");
        return 1;
    }
    const std::string narrowImage(imagePath.begin(), imagePath.end());
    const std::wstring greyPath = std::wstring(temp) + L"service-bench-3000x1500-grey.jpg";
    std::vector<uint8_t> greyRows(size_t{image.width} * image.height);
    for (size_t i = 0; i < greyRows.size(); ++i) {
        greyRows[i] = image.bytes[i * 3];
    }
    if (!WriteJpegChannels(greyPath, image.width, image.height, 1, greyRows)) {
        std::fprintf(stderr, "cannot write the grey test image\n");
        return 1;
    }
    const std::string narrowGrey(greyPath.begin(), greyPath.end());

    FakeAnalysisServer fake(false);
    FakeScenario accept;
    accept.reply = ReportFrame({{"#@RETCODE@#", "1"}, {"#@POSINFO@#", "10,10,5,5,11\n"}, {"#@DISINFO@#", "11,b\n"}});
    fake.SetScenario(accept);
    if (!fake.Start(5555)) {
        std::fprintf(stderr, "cannot listen on 5555\n");
        return 1;
    }
    std::wstring commandLine = L"\"" + BesideProgram(L"Quillmere.exe") + L"\" /service";
    const std::wstring folder = BesideProgram(L"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start Quillmere.exe\n");
        return 1;
    }
    for (int waited = 0; !AskService("NEW", narrowImage); waited += 100) {
        if (waited > 30000) {
            std::fprintf(stderr, "the service does not answer\n");
            TerminateProcess(process.hProcess, 1);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    CToothDetect plain;
    plain.SetServer("127.0.0.1", 5555);
    const auto plainUpload = [&] {
        bool accepted = false;
        std::string boxes;
        std::string findings;
        return plain.Detect("00112233-4455-6677-8899-AABBCCDDEEFF", "00-1A-2B-3C-4D-5E", narrowImage, "", &accepted,
                            &boxes, &findings) &&
               accepted;
    };
    const auto serviceNew = [&] { return AskService("NEW", narrowImage); };
    const auto inProcess = [&] {
        const UniqueHandle copy(CreateFileW(sharpPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        return copy.Get() != INVALID_HANDLE_VALUE && SharpenImageToFile(narrowImage, copy.Get());
    };
    const auto serviceSharp = [&] { return AskService("NEWSHARP", narrowImage); };
    const auto [plainRate, newRate] = PerSecondInTurns(count, plainUpload, serviceNew);
    const auto [effectsRate, sharpRate] = PerSecondInTurns(count, inProcess, serviceSharp);
    const auto serviceGrey = [&] { return AskService("NEWSHARP", narrowGrey); };
    const auto [colourRate, greyRate] = PerSecondInTurns(count, serviceSharp, serviceGrey);

    std::printf("3000 x 1500 JPEG of %ld bytes, %d requests each\n", static_cast<long>(ImageBytes(imagePath)), count);
    std::printf("plain upload straight to the fake server  %8.2f /s\n", plainRate);
    std::printf("NEW through /service                      %8.2f /s   (plain / NEW = %.2f, target <= 1.5)\n", newRate,
                plainRate / newRate);
    std::printf("decode + effects + encode in process      %8.2f /s\n", effectsRate);
    std::printf("NEWSHARP through /service                 %8.2f /s   (in process / NEWSHARP = %.2f, target <= 1.2)\n",
                sharpRate, effectsRate / sharpRate);
    std::printf("NEWSHARP on the grey JPEG                 %8.2f /s   (time grey / colour = %.2f, target <= 1.5)\n",
                greyRate, colourRate / greyRate);

    AskService("SHUTDOWN", "");
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DeleteFileW(imagePath.c_str());
    DeleteFileW(greyPath.c_str());
    DeleteFileW(sharpPath.c_str());
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
