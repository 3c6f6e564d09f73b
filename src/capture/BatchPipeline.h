// The batch's files in overlap: while the UI thread runs the effects of one
// file, worker threads read and decode the files after it and encode the
// ones before it and move them into place. A free worker takes the next file
// in list order, so the file the effects need next is the one read first,
// and holds one file at a time, whose bitmaps it makes, locks, unlocks,
// saves and destroys itself; the UI thread only borrows the locked pixels.
// How many files are in flight is bounded by the workers and by a memory
// budget, which lets the files in in list order, each with what its header
// claims, read before it is let in; each file is written as the one-file
// route writes it.
#pragma once

#include "capture/BatchBudget.h"
#include "capture/PixelView.h"
#include "ui/Handles.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CBatchPipeline {
public:
    CBatchPipeline() = default;
    CBatchPipeline(const CBatchPipeline&) = delete;
    CBatchPipeline& operator=(const CBatchPipeline&) = delete;
    ~CBatchPipeline();

    // Starts reading `names` from `sourceFolder` on up to `workerCount`
    // threads, with at most about `budgetBytes` of decoded images in memory;
    // what is encoded goes under the same names into `targetFolder`. Both
    // folders end in a backslash. Workers the system cannot start only make
    // the batch slower.
    void Start(const std::wstring& sourceFolder, const std::wstring& targetFolder, std::vector<std::wstring> names,
               size_t workerCount, size_t budgetBytes);

    // Lends the locked pixels of the next file in list order, once read; an
    // empty view when the file did not load or lock as an image. False when
    // no worker will read the file (none started, or all ended early): the
    // caller then takes the one-file route. After true, GiveBack follows.
    bool TakeNext(PixelView& pixels);
    // Ends the loan; a processed file is encoded and moved into place.
    void GiveBack(bool processed);

    // Reads nothing more, and returns once every file given back processed
    // is written and moved into place and the workers have ended. Files read
    // ahead and not lent are dropped.
    void Finish();

    // What the batch has read and holds: files taken to be read since Start,
    // workers whose file waits to be let in, files in flight now and at most
    // at once, what the budget counts in bytes and in files, and what it
    // holds for a file whose header tells nothing.
    struct Counts {
        size_t taken = 0;
        size_t waiting = 0;
        size_t inFlight = 0;
        size_t peakInFlight = 0;
        size_t budgetBytes = 0;
        size_t budgetFiles = 0;
        size_t expectedBytes = 0;
    };
    Counts Tally();

    // What a panoramic colour JPEG file takes in memory at most while it is
    // in flight (see MemoryExpected): its bytes, as noisy as an X-ray's, the
    // decoder's pixels and the 24-bit copy; the budget's expectation until
    // larger files are met.
    static constexpr size_t kTypicalImageBytes = size_t{3000} * 1500 * 3 * 2 + (size_t{4} << 20);

private:
    enum class Loan { None, Offered, Taken, Returned };

    struct Worker {
        CBatchPipeline* pipeline = nullptr;
        UniqueHandle thread;
        // Guarded by the pipeline's lock from here on.
        bool running = false;
        // The file taken, while it waits to be let in, and once let in until
        // it is written or dropped.
        bool waiting = false;
        bool holding = false;
        size_t file = 0;
        // What the budget holds for the file.
        size_t held = 0;
        // The file's pixels on offer or on loan.
        Loan loan = Loan::None;
        PixelView pixels;
        bool processed = false;
    };

    // Gives the budget back for the worker's file however its work ends.
    class FileHold {
    public:
        FileHold(CBatchPipeline& pipeline, Worker& worker) : pipeline(pipeline), worker(worker) {}
        FileHold(const FileHold&) = delete;
        FileHold& operator=(const FileHold&) = delete;
        ~FileHold() { pipeline.Release(worker); }

    private:
        CBatchPipeline& pipeline;
        Worker& worker;
    };

    static unsigned __stdcall WorkerEntry(void* param);
    void WorkerEnded(Worker& worker) noexcept;
    void ProcessFiles(Worker& worker);
    // Takes the next file for the worker, reads what its header claims, and
    // waits until the budget lets it in; false when there is none or the
    // batch stops.
    bool TakeFile(Worker& worker);
    // Whether another worker's file listed before `file` waits to be let in.
    bool WaitsBefore(size_t file) const;
    // What the file took while it was decoded, and what it keeps after.
    void Took(Worker& worker, size_t bytes);
    void Keeps(Worker& worker, size_t bytes);
    bool Lend(Worker& worker, const PixelView& pixels);
    void Release(Worker& worker) noexcept;
    // The worker the file is on offer from, once it is; null when no worker
    // will offer it.
    Worker* OfferOf(size_t file);

    std::wstring sourceFolder;
    std::wstring targetFolder;
    std::vector<std::wstring> names;
    std::vector<std::unique_ptr<Worker>> workers;

    std::mutex lock;
    std::condition_variable changed;
    bool stopping = false;
    CBatchBudget budget{0, 0};
    size_t inFlight = 0;
    size_t peakInFlight = 0;
    // The next file a free worker takes.
    size_t nextToRead = 0;
    // The next file TakeNext lends, and the worker of the file on loan.
    size_t nextFile = 0;
    Worker* onLoan = nullptr;
};
