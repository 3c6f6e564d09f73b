// The Windows side of the batch benchmark: GDI+ decode and encode of
// panoramic JPEG files beside the AutoLevel and Sharpen kernels on the same
// pixels, and the batch step per file (decode, effects, encode) one file at a
// time. Writes its files under the folder given as argument (in\ the sources,
// out\ the results), and the panoramic files on which the whole batch mode
// is timed into batch\; effects-vs-imagemagick.sh runs the mode and
// ImageMagick on them.
#include "PanoramicBitmap.h"

#include "capture/EffectKernels.h"
#include "capture/ProgressDlg.h"
#include "foundation/JpegFile.h"
#include "ui/Gdiplus.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: batch_bench FOLDER\n");
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
        const double decodeMs = BestMs(3, [] {}, [&] { Decode(source); });
        const std::wstring encoded = folder + L"\\out\\encoded.jpg";
        const double encodeMs = BestMs(3, [] {}, [&] { SaveImageAsJpeg(bitmap.get(), encoded.c_str()); });

        const PanoramicImage original = image;
        const auto reset = [&] { image.bytes = original.bytes; };
        const double levelMs = BestMs(3, reset, [&] { AutoLevelPixels(image.View(), 0.1, 0.01); });
        const double sharpenMs = BestMs(3, reset, [&] { SharpenPixels(image.View(), 1.5f, 20.0f); });

        CProgressDlg batch;
        batch.sourceFolder = folder + L"\\in\\";
        batch.targetFolder = folder + L"\\out\\";
        bool saved = true;
        const double batchMs = BestMs(3, [] {}, [&] { saved = batch.SharpenFile(name) && saved; });
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
        PanoramicImage image(kPanoramicSizes[0][0], kPanoramicSizes[0][1], 2024 + static_cast<uint32_t>(file));
        const std::wstring path = folder + L"\\batch\\pano-" + std::to_wstring(file + 1) + L".jpg";
        auto bitmap = ToBitmap(image);
        if (!SaveImageAsJpeg(bitmap.get(), path.c_str())) {
            std::fprintf(stderr, "cannot write %ls\n", path.c_str());
            result = 1;
        }
    }
    Gdiplus::GdiplusShutdown(token);
    return result;
}
