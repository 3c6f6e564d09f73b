// The Windows side of the batch benchmark: GDI+ decode and encode of
// panoramic JPEG files beside the AutoLevel and Sharpen kernels on the same
// pixels, and the batch step per file (decode, effects, encode) one file at a
// time. Writes its files under the folder given as argument (in\ the sources,
// out\ the results), and the pictures on which the whole batch mode is timed
// into batch\, uncompressed: colour-N.ppm with noise in every channel and
// grey-N.ppm with noise in the grey, both as strong as a real X-ray's (σ 12),
// and large-colour.ppm of 5000 x 4000 alike; effects-vs-imagemagick.sh makes
// JPEG sets of them, then runs the mode and ImageMagick on those.
// "batch_bench decode FILE" times the batch's own decoding of one file (the
// file read into memory and decoded straight to its 24-bit copy).
#include "PanoramicBitmap.h"

#include "capture/BatchFiles.h"
#include "capture/EffectKernels.h"
#include "capture/ProgressDlg.h"
#include "foundation/JpegFile.h"
#include "ui/ComApartment.h"
#include "ui/Gdiplus.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::wstring Widen(const char* text)
{
    std::wstring wide;
    for (; *text != '\0'; ++text) {
        wide += static_cast<wchar_t>(*text == '/' ? '\\' : static_cast<unsigned char>(*text));
    }
    return wide;
}

// Loads the file and locks its pixels once, so the decode is complete.
bool Decode(const std::wstring& path)
{
    Gdiplus::Bitmap bitmap(path.c_str());
    Gdiplus::Rect whole(0, 0, static_cast<INT>(bitmap.GetWidth()), static_cast<INT>(bitmap.GetHeight()));
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &data) != Gdiplus::Ok) {
        return false;
    }
    bitmap.UnlockBits(&data);
    return true;
}

// Gaussian noise of σ 12 (the sum of twelve uniform draws), in every channel
// on its own for a colour picture, the same in all three for a grey one.
void AddNoise(PanoramicImage& image, bool colour, uint32_t seed)
{
    constexpr int kSigma = 12;
    uint32_t state = seed * 7919u + 1u;
    const auto gaussian = [&] {
        int sum = 0;
        for (int i = 0; i < 12; ++i) {
            state = state * 1103515245u + 12345u;
            sum += static_cast<int>((state >> 16) & 0xFFF);
        }
        return (sum - 6 * 0x1000) * kSigma / 0x1000;
    };
    const auto clamp = [](int value) { return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value)); };
    for (size_t pixel = 0; pixel < image.bytes.size(); pixel += 3) {
        const int grey = gaussian();
        for (size_t channel = 0; channel < 3; ++channel) {
            uint8_t& value = image.bytes[pixel + channel];
            value = clamp(value + (colour ? gaussian() : grey));
        }
    }
}

// A binary PPM, which ImageMagick reads: no codec of ours in between.
bool WritePpm(const PanoramicImage& image, const std::wstring& path)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "P6\n%u %u\n255\n", image.width, image.height);
    std::vector<uint8_t> row(size_t{image.width} * 3);
    bool written = true;
    for (uint32_t y = 0; y < image.height && written; ++y) {
        const uint8_t* bgr = &image.bytes[size_t{y} * image.width * 3];
        for (size_t i = 0; i < row.size(); i += 3) {
            row[i] = bgr[i + 2];
            row[i + 1] = bgr[i + 1];
            row[i + 2] = bgr[i];
        }
        written = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    return std::fclose(file) == 0 && written;
}

// The best of three decodings of the file on the batch's straight road.
int TimeDecoding(const std::wstring& path)
{
    const ComApartment apartment(COINIT_MULTITHREADED);
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    bool decoded = true;
    const double decodeMs = BestMs(
        3, [] {},
        [&] {
            const StreamPtr stream = ReadFileInMemory(path);
            decoded = DecodeJpegTo24BitRgb(stream.get()) != nullptr && decoded;
        });
    Gdiplus::GdiplusShutdown(token);
    if (!decoded) {
        std::fprintf(stderr, "cannot decode %ls\n", path.c_str());
        return 1;
    }
    std::printf("decode %.0f\n", decodeMs);
    return 0;
}

// The one large picture among the batch's files.
constexpr uint32_t kLargeSize[2] = {5000, 4000};

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "decode") == 0) {
        return TimeDecoding(Widen(argv[2]));
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: batch_bench FOLDER | batch_bench decode FILE\n");
        return 2;
    }
    const std::wstring folder = Widen(argv[1]);
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\in").c_str(), nullptr);
    CreateDirectoryW((folder + L"\\out").c_str(), nullptr);
    CreateDirectoryW((folder + L"\\batch").c_str(), nullptr);

    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int result = 0;
    for (const auto& size : kPanoramicSizes) {
        PanoramicImage image(size[0], size[1]);
        const std::wstring name = L"pano-" + std::to_wstring(size[0]) + L"x" + std::to_wstring(size[1]) + L".jpg";
        const std::wstring source = folder + L"\\in\\" + name;
        auto bitmap = ToBitmap(image);
        if (!SaveImageAsJpeg(bitmap.get(), source.c_str())) {
            std::fprintf(stderr, "cannot write %ls\n", source.c_str());
            result = 1;
            break;
        }
        const double decodeMs = BestMs(
            3, [] {}, [&] { Decode(source); });
        const std::wstring encoded = folder + L"\\out\\encoded.jpg";
        const double encodeMs = BestMs(
            3, [] {}, [&] { SaveImageAsJpeg(bitmap.get(), encoded.c_str()); });

        const PanoramicImage original = image;
        const auto reset = [&] { image.bytes = original.bytes; };
        const double levelMs = BestMs(3, reset, [&] { AutoLevelPixels(image.View(), 0.1, 0.01); });
        const double sharpenMs = BestMs(3, reset, [&] { SharpenPixels(image.View(), 1.5f, 20.0f); });

        CProgressDlg batch;
        batch.sourceFolder = folder + L"\\in\\";
        batch.targetFolder = folder + L"\\out\\";
        bool saved = true;
        const double batchMs = BestMs(
            3, [] {}, [&] { saved = batch.SharpenFile(name) && saved; });
        if (!saved) {
            std::fprintf(stderr, "the batch step failed on %ls\n", name.c_str());
            result = 1;
        }
        const double mp = original.Megapixels();
        std::printf("%ux%u  decode %.1f ms  encode %.1f ms  AutoLevel %.1f ms (%.0f MP/s)  Sharpen %.1f ms (%.0f MP/s)"
                    "  effects/decode %.2f\n",
                    size[0], size[1], decodeMs, encodeMs, levelMs, mp / levelMs * 1000.0, sharpenMs,
                    mp / sharpenMs * 1000.0, (levelMs + sharpenMs) / decodeMs);
        std::printf("batch %ls %.1f\n", name.c_str(), batchMs);
    }
    // Files alike in size and kind but not in content, as a day's scans are.
    for (int file = 0; result == 0 && file < kBatchFileCount; ++file) {
        const uint32_t seed = 2024 + static_cast<uint32_t>(file);
        for (const bool colour : {true, false}) {
            PanoramicImage image(kPanoramicSizes[0][0], kPanoramicSizes[0][1], seed);
            AddNoise(image, colour, seed);
            const std::wstring path =
                folder + L"\\batch\\" + (colour ? L"colour-" : L"grey-") + std::to_wstring(file + 1) + L".ppm";
            if (!WritePpm(image, path)) {
                std::fprintf(stderr, "cannot write %ls\n", path.c_str());
                result = 1;
            }
        }
    }
    if (result == 0) {
        PanoramicImage large(kLargeSize[0], kLargeSize[1], 1);
        AddNoise(large, true, 1);
        if (!WritePpm(large, folder + L"\\batch\\large-colour.ppm")) {
            std::fprintf(stderr, "cannot write the large picture\n");
            result = 1;
        }
    }
    Gdiplus::GdiplusShutdown(token);
    return result;
}
