#include "capture/BatchPipeline.h"

#include "capture/BatchFiles.h"

#include <process.h>

#include <utility>

CBatchPipeline::~CBatchPipeline()
{
    Finish();
}

void CBatchPipeline::Start(const std::wstring& source, const std::wstring& target, std::vector<std::wstring> files)
{
    Finish();
    sourceFolder = source;
    targetFolder = target;
    names = std::move(files);
    freeImages = {&images[0], &images[1]};
    decodedImages.clear();
    imagesToEncode.clear();
    stopping = false;
    StartWorker(encoder, &CBatchPipeline::EncodeFiles);
    StartWorker(decoder, &CBatchPipeline::DecodeFiles);
}

void CBatchPipeline::StartWorker(Worker& worker, void (CBatchPipeline::*loop)())
{
    worker.pipeline = this;
    worker.loop = loop;
    {
        const std::lock_guard<std::mutex> held(lock);
        worker.running = true;
    }
    const uintptr_t thread = _beginthreadex(nullptr, 0, WorkerEntry, &worker, 0, nullptr);
    if (thread == 0) {
        WorkerEnded(worker);
        return;
    }
    worker.thread.Reset(reinterpret_cast<HANDLE>(thread));
}

// The edge of both workers: nothing may unwind into the system's frames, and
// whatever way a worker ends, the threads waiting for it are told.
unsigned __stdcall CBatchPipeline::WorkerEntry(void* param)
{
    Worker& worker = *static_cast<Worker*>(param);
    unsigned result = 0;
    try {
        (worker.pipeline->*worker.loop)();
    } catch (...) {
        result = 1;
    }
    worker.pipeline->WorkerEnded(worker);
    return result;
}

void CBatchPipeline::WorkerEnded(Worker& worker) noexcept
{
    {
        const std::lock_guard<std::mutex> held(lock);
        worker.running = false;
    }
    changed.notify_all();
}

void CBatchPipeline::DecodeFiles()
{
    for (size_t index = 0; index < names.size(); ++index) {
        {
            const std::lock_guard<std::mutex> held(lock);
            if (stopping) {
                return;
            }
        }
        const LoadedBitmap loaded = LoadBitmapInMemory(sourceFolder + names[index]);
        CBatchImage* image = WaitForFreeImage();
        if (image == nullptr) {
            return;
        }
        image->index = static_cast<int>(index);
        if (!loaded.bitmap || !image->CopyFrom(*loaded.bitmap)) {
            image->decoded = false;
        }
        {
            const std::lock_guard<std::mutex> held(lock);
            decodedImages.push_back(image);
        }
        changed.notify_all();
    }
}

// Null when the batch stops, or when none is free and no encoder runs to give
// one back (it ended early, perhaps holding them): the decoder then ends and
// the remaining files take the one-file route.
CBatchImage* CBatchPipeline::WaitForFreeImage()
{
    std::unique_lock<std::mutex> held(lock);
    changed.wait(held, [&] { return !freeImages.empty() || stopping || !encoder.running; });
    if (freeImages.empty() || stopping) {
        return nullptr;
    }
    CBatchImage* image = freeImages.back();
    freeImages.pop_back();
    return image;
}

void CBatchPipeline::EncodeFiles()
{
    for (;;) {
        CBatchImage* image = nullptr;
        {
            std::unique_lock<std::mutex> held(lock);
            changed.wait(held, [&] { return !imagesToEncode.empty() || stopping; });
            if (imagesToEncode.empty()) {
                return;
            }
            image = imagesToEncode.front();
            imagesToEncode.pop_front();
        }
        Write(image);
    }
}

void CBatchPipeline::Write(CBatchImage* image)
{
    const std::wstring& name = names[static_cast<size_t>(image->index)];
    image->SaveAsJpeg(targetFolder, targetFolder + name);
    Release(image);
}

CBatchImage* CBatchPipeline::TakeDecoded()
{
    std::unique_lock<std::mutex> held(lock);
    changed.wait(held, [&] { return !decodedImages.empty() || !decoder.running; });
    if (decodedImages.empty()) {
        return nullptr;
    }
    CBatchImage* image = decodedImages.front();
    decodedImages.pop_front();
    return image;
}

void CBatchPipeline::Encode(CBatchImage* image)
{
    {
        const std::lock_guard<std::mutex> held(lock);
        if (encoder.running) {
            imagesToEncode.push_back(image);
            changed.notify_all();
            return;
        }
    }
    Write(image);
}

void CBatchPipeline::Release(CBatchImage* image)
{
    {
        const std::lock_guard<std::mutex> held(lock);
        freeImages.push_back(image);
    }
    changed.notify_all();
}

void CBatchPipeline::Finish()
{
    {
        const std::lock_guard<std::mutex> held(lock);
        stopping = true;
    }
    changed.notify_all();
    for (Worker* worker : {&decoder, &encoder}) {
        if (worker->thread) {
            WaitForSingleObject(worker->thread.Get(), INFINITE);
            worker->thread.Reset();
        }
    }
    // What an encoder that ended early left behind is still written.
    std::deque<CBatchImage*> left;
    {
        const std::lock_guard<std::mutex> held(lock);
        left.swap(imagesToEncode);
        for (CBatchImage* image : decodedImages) {
            freeImages.push_back(image);
        }
        decodedImages.clear();
    }
    for (CBatchImage* image : left) {
        Write(image);
    }
}
