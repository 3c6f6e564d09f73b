// Megapixels per second of the AutoLevel and Sharpen kernels on
// panoramic-sized images.
#include "PanoramicImage.h"

#include "capture/EffectKernels.h"

#include <cstdio>

int main()
{
    for (const auto& size : kPanoramicSizes) {
        const PanoramicImage original(size[0], size[1]);
        PanoramicImage work = original;
        const auto reset = [&] { work.bytes = original.bytes; };
        const double levelMs = BestMs(5, reset, [&] { AutoLevelPixels(work.View(), 0.1, 0.01); });
        const double sharpenMs = BestMs(5, reset, [&] { SharpenPixels(work.View(), 1.5f, 20.0f); });
        const double mp = original.Megapixels();
        std::printf("%ux%u  AutoLevel %.1f ms (%.0f MP/s)  Sharpen %.1f ms (%.0f MP/s)\n", size[0], size[1], levelMs,
                    mp / levelMs * 1000.0, sharpenMs, mp / sharpenMs * 1000.0);
    }
    return 0;
}
