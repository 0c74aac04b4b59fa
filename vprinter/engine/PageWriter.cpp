#include "vprinter/engine/PageWriter.h"

#include <algorithm>

namespace vp {

PageWriter::PageWriter(std::size_t depth) : depth_(std::max<std::size_t>(depth, 1)), thread_([this] { Run(); }) {}

PageWriter::~PageWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        wake_.notify_all();
    }
    thread_.join();
}

bool PageWriter::Full() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size() + working_ >= depth_;
}

std::size_t PageWriter::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size() + working_ + done_.size();
}

void PageWriter::Submit(int number, std::string path, std::unique_ptr<SheetRecord> sheet) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(Order{number, std::move(path), std::move(sheet)});
    wake_.notify_one();
}

std::vector<PageWriter::Done> PageWriter::Collect() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Done> done;
    done.swap(done_);
    return done;
}

bool PageWriter::WaitIdle(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, limit, [this] { return queue_.empty() && working_ == 0; });
}

// Pages are written in the order they were ejected; the queue is emptied
// before the thread ends, so no page handed over is lost.
void PageWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing left
        Order order = std::move(queue_.front());
        queue_.pop_front();
        ++working_;
        lock.unlock();
        Done done{WritePage(order.number, order.path, *order.sheet), std::move(order.sheet)};
        done.sheet->Clear();
        lock.lock();
        done_.push_back(std::move(done));
        --working_;
        if (queue_.empty() && working_ == 0) idle_.notify_all();
    }
}

}  // namespace vp
