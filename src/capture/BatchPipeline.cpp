#include "capture/BatchPipeline.h"

#include "capture/BatchFiles.h"
#include "capture/SEffect.h"
#include "ui/ComApartment.h"
#include "ui/ExceptionGuard.h"

#include <process.h>

#include <algorithm>
#include <utility>

CBatchPipeline::~CBatchPipeline()
{
    Finish();
}

void CBatchPipeline::Start(const std::wstring& source, const std::wstring& target, std::vector<std::wstring> files,
                           size_t workerCount, size_t budgetBytes)
{
    Finish();
    sourceFolder = source;
    targetFolder = target;
    names = std::move(files);
    {
        const std::lock_guard<std::mutex> held(lock);
        stopping = false;
        budget = CBatchBudget(budgetBytes, kTypicalImageBytes);
        inFlight = 0;
        peakInFlight = 0;
        nextToRead = 0;
        nextFile = 0;
        onLoan = nullptr;
    }
    workers.clear();
    // No more workers than files: the others would have nothing to take.
    const size_t count = std::min(workerCount, names.size());
    for (size_t i = 0; i < count; ++i) {
        auto worker = std::make_unique<Worker>();
        worker->pipeline = this;
        {
            const std::lock_guard<std::mutex> held(lock);
            worker->running = true;
            workers.push_back(std::move(worker));
        }
        Worker& started = *workers.back();
        const uintptr_t thread = _beginthreadex(nullptr, 0, WorkerEntry, &started, 0, nullptr);
        if (thread == 0) {
            WorkerEnded(started);
        } else {
            started.thread.Reset(reinterpret_cast<HANDLE>(thread));
        }
    }
}

// The edge of every worker: nothing may unwind into the system's frames, and
// whatever way a worker ends, the UI thread waiting for it is told.
unsigned __stdcall CBatchPipeline::WorkerEntry(void* param)
{
    Worker& worker = *static_cast<Worker*>(param);
    const unsigned result = CallGuarded(1u, [&] {
        // The imaging component's decoders are COM objects. Without COM the
        // worker still reads every file, through GDI+.
        const ComApartment apartment(COINIT_MULTITHREADED);
        worker.pipeline->ProcessFiles(worker);
        return 0u;
    });
    worker.pipeline->WorkerEnded(worker);
    return result;
}

// Whatever way a worker ends, the files after its own are let in and the UI
// thread waiting for its file is told.
void CBatchPipeline::WorkerEnded(Worker& worker) noexcept
{
    {
        const BudgetLock held(lock);
        worker.waiting = false;
        worker.running = false;
    }
    changed.notify_all();
}

bool CBatchPipeline::TakeFile(Worker& worker)
{
    {
        const BudgetLock held(lock);
        if (stopping || nextToRead >= names.size()) {
            return false;
        }
        worker.file = nextToRead++;
        worker.waiting = true;
    }
    // The header is read before the file is let in, so that a file holds
    // only what it will take, never what the largest file before it took.
    const size_t claim = MemoryExpected(sourceFolder + names[worker.file]);
    bool admitted = false;
    {
        BudgetLock held(lock);
        changed.wait(held, [&] { return stopping || (!WaitsBefore(worker.file) && budget.CanAdmit(claim)); });
        worker.waiting = false;
        if (!stopping) {
            worker.held = budget.Admit(claim, held);
            worker.holding = true;
            peakInFlight = std::max(peakInFlight, ++inFlight);
            admitted = true;
        }
    }
    changed.notify_all();
    return admitted;
}

bool CBatchPipeline::WaitsBefore(size_t file) const
{
    return std::any_of(workers.begin(), workers.end(),
                       [&](const auto& other) { return other->waiting && other->file < file; });
}

void CBatchPipeline::Took(Worker& worker, size_t bytes)
{
    {
        const BudgetLock held(lock);
        worker.held = budget.Took(worker.held, bytes, held);
    }
    changed.notify_all();
}

void CBatchPipeline::Keeps(Worker& worker, size_t bytes)
{
    {
        const BudgetLock held(lock);
        worker.held = budget.Keeps(worker.held, bytes, held);
    }
    changed.notify_all();
}

void CBatchPipeline::Release(Worker& worker) noexcept
{
    {
        const BudgetLock held(lock);
        worker.holding = false;
        budget.Release(worker.held, held);
        --inFlight;
    }
    changed.notify_all();
}

// The steps of the one-file route, with the effects lent to the UI thread.
void CBatchPipeline::ProcessFiles(Worker& worker)
{
    while (TakeFile(worker)) {
        const FileHold hold(*this, worker);
        {
            // The file waits for the effects and is encoded as a 24-bit copy
            // of its own, without the file's bytes and the decoder's pixels,
            // so that more files fit in the budget.
            std::unique_ptr<Gdiplus::Bitmap> worked;
            {
                StreamPtr stream = ReadFileInMemory(sourceFolder + names[worker.file]);
                worked = DecodeJpegTo24BitRgb(stream.get());
                if (worked) {
                    Took(worker, MemoryTakenStraight(stream.get(), *worked));
                } else {
                    const LoadedBitmap loaded = DecodeInMemory(std::move(stream));
                    Took(worker, MemoryTaken(loaded));
                    worked = Copy24BitRgb(loaded.bitmap.get());
                }
            }
            Keeps(worker, MemoryKept(worked.get()));
            Gdiplus::BitmapData locked{};
            bool isLocked = false;
            if (worked) {
                Gdiplus::Rect whole(0, 0, static_cast<INT>(worked->GetWidth()), static_cast<INT>(worked->GetHeight()));
                isLocked = worked->LockBits(&whole, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite,
                                            PixelFormat24bppRGB, &locked) == Gdiplus::Ok;
            }
            PixelView pixels;
            if (isLocked) {
                pixels = {static_cast<uint8_t*>(locked.Scan0), locked.Width, locked.Height, locked.Stride};
            }
            const bool processed = Lend(worker, pixels);
            if (isLocked) {
                worked->UnlockBits(&locked);
            }
            if (processed) {
                SaveJpegReplacing(worked.get(), targetFolder, targetFolder + names[worker.file]);
            }
        }
    }
}

// Offers the file's pixels to the UI thread and waits until it gives them
// back; whether it processed them. A file not yet taken when the batch stops
// is dropped.
bool CBatchPipeline::Lend(Worker& worker, const PixelView& pixels)
{
    std::unique_lock<std::mutex> held(lock);
    worker.pixels = pixels;
    worker.processed = false;
    worker.loan = Loan::Offered;
    changed.notify_all();
    changed.wait(held, [&] { return worker.loan == Loan::Returned || (stopping && worker.loan == Loan::Offered); });
    const bool processed = worker.loan == Loan::Returned && worker.processed;
    worker.loan = Loan::None;
    return processed;
}

CBatchPipeline::Worker* CBatchPipeline::OfferOf(size_t file)
{
    for (const auto& worker : workers) {
        if (worker->holding && worker->file == file && worker->loan == Loan::Offered) {
            return worker.get();
        }
    }
    return nullptr;
}

bool CBatchPipeline::TakeNext(PixelView& pixels)
{
    std::unique_lock<std::mutex> held(lock);
    const size_t file = nextFile++;
    // The file is still coming while a worker that runs holds it, or while
    // it is not taken yet and some worker runs to take it.
    const auto coming = [&] {
        bool anyRunning = false;
        for (const auto& worker : workers) {
            if (worker->running && (worker->waiting || worker->holding) && worker->file == file) {
                return true;
            }
            anyRunning = anyRunning || worker->running;
        }
        return anyRunning && file >= nextToRead;
    };
    changed.wait(held, [&] { return OfferOf(file) != nullptr || !coming(); });
    onLoan = OfferOf(file);
    if (onLoan == nullptr) {
        return false;
    }
    onLoan->loan = Loan::Taken;
    pixels = onLoan->pixels;
    return true;
}

void CBatchPipeline::GiveBack(bool processed)
{
    {
        const std::lock_guard<std::mutex> held(lock);
        if (onLoan == nullptr) {
            return;
        }
        onLoan->processed = processed;
        onLoan->loan = Loan::Returned;
        onLoan = nullptr;
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
    for (const auto& worker : workers) {
        if (worker->thread) {
            WaitForSingleObject(worker->thread.Get(), INFINITE);
            worker->thread.Reset();
        }
    }
}

CBatchPipeline::Counts CBatchPipeline::Tally()
{
    const std::lock_guard<std::mutex> held(lock);
    Counts counts;
    counts.taken = nextToRead;
    counts.waiting = static_cast<size_t>(
        std::count_if(workers.begin(), workers.end(), [](const auto& worker) { return worker->waiting; }));
    counts.inFlight = inFlight;
    counts.peakInFlight = peakInFlight;
    counts.budgetBytes = budget.InUse();
    counts.budgetFiles = budget.InFlight();
    counts.expectedBytes = budget.Expected();
    return counts;
}
