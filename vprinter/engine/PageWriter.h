// Draws and writes ejected sheets on a thread of its own, so the printer
// goes on answering the host and taking data while a page is drawn. The
// engine hands over the sheet's record (the record is the snapshot: the
// engine continues on a fresh one) and collects the outcome later; the
// drawing depends on the record alone, so the files are those the engine
// writes when it writes them itself.
//
// At most `depth` pages wait or are being written; Full() tells the engine
// to take no more input until one is done, as a printer whose memory is
// full stops taking data.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vprinter/engine/PagePlan.h"
#include "vprinter/engine/SheetRecord.h"

namespace vp {

class PageWriter {
public:
    explicit PageWriter(std::size_t depth = 2);
    // Writes every page handed over, then ends the thread.
    ~PageWriter();
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    bool Full() const;
    // Pages handed over and not yet collected as written.
    std::size_t Pending() const;
    // Hands a sheet over, to be written to `path`. Taken even when Full()
    // (a page ejected by the paper button): the bound is then depth + 1.
    void Submit(int number, std::string path, std::unique_ptr<SheetRecord> sheet);

    struct Done {
        PageOutcome outcome;
        std::unique_ptr<SheetRecord> sheet;  // emptied, for the next sheet
    };
    // The pages finished since the last call, in the order they were handed over.
    std::vector<Done> Collect();
    // Waits until every page handed over is finished; false if `limit` passed first.
    bool WaitIdle(std::chrono::milliseconds limit);

private:
    struct Order {
        int number = 0;
        std::string path;
        std::unique_ptr<SheetRecord> sheet;
    };
    void Run();

    const std::size_t depth_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Order> queue_;
    std::vector<Done> done_;
    std::size_t working_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace vp
