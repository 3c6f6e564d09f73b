#include "service/SharpenImageToFile.h"

#include "capture/SEffect.h"
#include "foundation/JpegFile.h"
#include "service/JpegSignature.h"
#include "service/TextCodePage.h"

#include <memory>

namespace {

constexpr double kLowFraction = 0.1;
constexpr double kHighClipFraction = 0.01;
constexpr float kSharpenAmount = 1.5f;
constexpr float kSharpenRadius = 20.0f;

bool ApplyEffects(Gdiplus::Bitmap* bitmap)
{
    CSEffect effect;
    const bool processed = effect.Attach(bitmap) && effect.LockBits() &&
                           effect.AutoLevel(kLowFraction, kHighClipFraction) &&
                           effect.Sharpen(kSharpenAmount, kSharpenRadius);
    effect.UnlockBits();
    effect.Detach();
    return processed;
}

} // namespace

bool SharpenImageToFile(const std::string& source, HANDLE destination)
{
    std::wstring widePath;
    if (!BeginsWithJpegSignature(source) || !AnsiToWide(source, &widePath)) {
        return false;
    }
    const std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromFile(widePath.c_str()));
    const CEffectBitmap bitmap(decoded.get());
    if (bitmap.Get() == nullptr || !ApplyEffects(bitmap.Get())) {
        return false;
    }
    return SaveImageAsJpeg(bitmap.Get(), destination);
}
