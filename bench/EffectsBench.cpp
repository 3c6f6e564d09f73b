// Megapixels per second of the AutoLevel and Sharpen kernels on
// panoramic-sized images: on the caller's thread alone, then in strips with
// one helper thread per further core and working memory kept between runs,
// as the batch mode runs them.
#include "PanoramicImage.h"

#include "capture/EffectKernels.h"

#include <cstdio>
#include <thread>

int main()
{
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned helpers = cores > 1 ? cores - 1 : 0;
    CEffectWorkspace workspace(helpers);
    for (const auto& size : kPanoramicSizes) {
        const PanoramicImage original(size[0], size[1]);
        PanoramicImage work = original;
        const auto reset = [&] { work.bytes = original.bytes; };
        const double mp = original.Megapixels();
        const double levelMs = BestMs(5, reset, [&] { AutoLevelPixels(work.View(), 0.1, 0.01); });
        const double sharpenMs = BestMs(5, reset, [&] { SharpenPixels(work.View(), 1.5f, 20.0f); });
        std::printf("%ux%u  one thread  AutoLevel %.1f ms (%.0f MP/s)  Sharpen %.1f ms (%.0f MP/s)\n", size[0], size[1],
                    levelMs, mp / levelMs * 1000.0, sharpenMs, mp / sharpenMs * 1000.0);
        const double stripLevelMs = BestMs(5, reset, [&] { AutoLevelPixels(work.View(), 0.1, 0.01, workspace); });
        const double stripSharpenMs = BestMs(5, reset, [&] { SharpenPixels(work.View(), 1.5f, 20.0f, workspace); });
        std::printf("%ux%u  %u threads  AutoLevel %.1f ms (%.0f MP/s)  Sharpen %.1f ms (%.0f MP/s)\n", size[0], size[1],
                    helpers + 1, stripLevelMs, mp / stripLevelMs * 1000.0, stripSharpenMs,
                    mp / stripSharpenMs * 1000.0);
    }
    return 0;
}
