// The batch's files in overlap: while the UI thread runs the effects of one
// file, a worker reads and decodes the next and another encodes the one
// before and moves it into place. Files travel in list order through two
// images of our own; with the one the decoder holds while it waits for one of
// them to come free, no more than three files' pixels are in memory at once.
#pragma once

#include "capture/BatchImage.h"
#include "ui/Handles.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class CBatchPipeline {
public:
    CBatchPipeline() = default;
    CBatchPipeline(const CBatchPipeline&) = delete;
    CBatchPipeline& operator=(const CBatchPipeline&) = delete;
    ~CBatchPipeline();

    // Starts decoding `names` from `sourceFolder` in order; what is encoded
    // goes under the same names into `targetFolder`. Both folders end in a
    // backslash.
    void Start(const std::wstring& sourceFolder, const std::wstring& targetFolder, std::vector<std::wstring> names);

    // The next file in list order once the decoder is done with it, for the
    // caller to give back through Encode or Release; its pixels are there
    // only when `decoded` is set. Null when no decoder runs (never started,
    // finished, or ended early): the caller then takes the one-file route.
    CBatchImage* TakeDecoded();
    // The processed image goes to the encoder, or is written here when no
    // encoder runs.
    void Encode(CBatchImage* image);
    void Release(CBatchImage* image);

    // Decodes nothing more, and returns once every image handed to Encode is
    // written and moved into place and both workers have ended.
    void Finish();

private:
    struct Worker {
        CBatchPipeline* pipeline = nullptr;
        void (CBatchPipeline::*loop)() = nullptr;
        UniqueHandle thread;
        bool running = false;
    };

    static unsigned __stdcall WorkerEntry(void* param);
    void StartWorker(Worker& worker, void (CBatchPipeline::*loop)());
    void WorkerEnded(Worker& worker) noexcept;
    void DecodeFiles();
    void EncodeFiles();
    CBatchImage* WaitForFreeImage();
    void Write(CBatchImage* image);

    std::wstring sourceFolder;
    std::wstring targetFolder;
    std::vector<std::wstring> names;

    std::mutex lock;
    std::condition_variable changed;
    CBatchImage images[2];
    std::vector<CBatchImage*> freeImages;
    std::deque<CBatchImage*> decodedImages;
    std::deque<CBatchImage*> imagesToEncode;
    bool stopping = false;
    Worker decoder;
    Worker encoder;
};
