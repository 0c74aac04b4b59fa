#include "link/VexRaster.h"

#include "link/ErrorDetails.h"
#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "link/VexStatusControl.h"
#include "i18n/Translate.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace svc {
namespace {

constexpr const char* kNoMemoryText =
    SVC_N("There is not enough free memory to run this program.\nQuit one or more programs, and then try again.");
constexpr const char* kPaperText = SVC_N(
    "Paper not loaded correctly.\nReload the paper and press the Paper button on the printer.\n"
    "Then click the [OK] button on the screen.");
constexpr int kBusyPauseMs = 500;

// Decides what to do after SendDataChannel did not take the bytes. Returns 1
// when the printer is only busy (or out of paper and the technician reloaded
// it) and the same bytes should go again; otherwise the code that ends the send.
Result AfterRefusal(Result sendResult) {
    if (sendResult != rc::Channel) return sendResult;
    if (GetD4ErrorCode() != kChannelBusyDetail) return rc::Channel;
    const Result status = ReadStatus();
    if (status != rc::Ok) return status;
    if (Status().PrinterState() == state::Error) {
        if (Status().PrinterError() != kPaperOutError) return rc::PrinterError;
        host().MessageBox(BoxOwner::MainWindow, kPaperText, "Error", BoxIcon::Error, BoxButtons::Ok);
    }
    return rc::Ok;
}

// One chunk of a print file, resent at once (no pause) while the printer is busy.
Result SendFileChunk(const std::uint8_t* data, std::uint32_t count) {
    for (;;) {
        const Result sent = SendDataChannel(data, count);
        if (sent == rc::Ok) return rc::Ok;
        const Result next = AfterRefusal(sent);
        if (next != rc::Ok) return next;
        host().RepaintMainWindow();
    }
}

// The detail of 0xF040 whose message is "Cannot read data from file.".
constexpr std::int16_t kDetailCannotReadFile = 3;

// Reads until `size` bytes are in or the file ends: the count, or -1 when a
// read failed.
long ReadUpTo(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, data + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long>(got);
}

// How every print job the program sends begins: with a reset (ESC @), or
// with a command in parentheses (ESC ( ...), as the cut position pattern
// opens remote mode. Anything else in a print file's place (a text, an
// image, a file cut short) is no job for the printer.
bool BeginsAsAPrintJob(const std::uint8_t* data, std::size_t size) {
    return size >= 2 && data[0] == 0x1B && (data[1] == 0x40 || data[1] == 0x28);
}

}  // namespace

TPRaster::TPRaster() {
    buffer_ = new (std::nothrow) std::uint8_t[kCapacity];
    if (buffer_ == nullptr) {
        host().MessageBox(BoxOwner::None, kNoMemoryText, "Error!", BoxIcon::Error, BoxButtons::Ok);
        std::exit(0);
    }
    std::memset(buffer_, 0, kCapacity);
}

TPRaster::~TPRaster() { delete[] buffer_; }

Result TPRaster::AppendAndSend(const std::uint8_t* data, int count) {
    if (count < 0 || count > kBlock) {
        // A caller composed a piece larger than one block: a bug, not a printer condition.
        std::fprintf(stderr, "TPRaster::Append: %d bytes in one call, at most %d are allowed\n", count, kBlock);
        std::exit(EXIT_FAILURE);
    }
    int done = 0;
    while (done < count) {
        if (count_ >= kCapacity) {
            // Earlier sends failed and every byte of the buffer is taken: the
            // next byte has to wait until the buffer has gone out.
            const Result sent = SendLoop();
            if (sent != rc::Ok) return sent;
        }
        // Up to the block size the bytes are copied in one piece; past it (only
        // after a failed send) one byte at a time, each followed by a send.
        const int room = count_ < kBlock ? kBlock - count_ : 1;
        const int n = std::min(room, count - done);
        std::memcpy(buffer_ + count_, data + done, static_cast<std::size_t>(n));
        count_ += n;
        done += n;
        if (count_ >= kBlock) {
            const Result sent = SendLoop();
            if (sent != rc::Ok) return sent;
        }
    }
    return rc::Ok;
}

Result TPRaster::Flush() { return SendLoop(); }

void TPRaster::Discard() {
    std::memset(buffer_, 0, kCapacity);
    count_ = 0;
}

Result TPRaster::SendLoop() {
    for (;;) {
        const Result sent = SendDataChannel(buffer_, static_cast<std::uint32_t>(count_));
        if (sent == rc::Ok) {
            std::memset(buffer_, 0, kCapacity);
            count_ = 0;
            return rc::Ok;
        }
        // On failure the bytes stay where they are and go ahead of the next ones.
        const Result next = AfterRefusal(sent);
        if (next != rc::Ok) return next;
        host().Sleep(kBusyPauseMs);
    }
}

Result TPRaster::SendPrintFile(const std::string& fileName) {
    // Non-blocking, so that a FIFO under the file's name cannot hold the
    // program up at the open; what it is is decided on the open file.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return rc::FileOpen;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return rc::FileOpen;
    }
    std::array<std::uint8_t, kBlock> chunk{};
    Result result = rc::Ok;
    for (bool first = true;; first = false) {
        const long got = ReadUpTo(fd, chunk.data(), chunk.size());
        // A read error (a vanished disk) must not pass for the end of the job.
        if (got < 0) {
            result = rc::FileOpen;
            break;
        }
        if (got == 0) break;
        if (first && !BeginsAsAPrintJob(chunk.data(), static_cast<std::size_t>(got))) {
            // Not a job of ours: refused before anything is sent, with the
            // message of a file whose data cannot be used.
            EepromCopyErrorDetail = kDetailCannotReadFile;
            result = rc::EepromCopy;
            break;
        }
        result = SendFileChunk(chunk.data(), static_cast<std::uint32_t>(got));
        if (result != rc::Ok || got < static_cast<long>(kBlock)) break;
    }
    ::close(fd);
    return result;
}

TPRaster& JobStream() {
    static TPRaster stream;
    return stream;
}

}  // namespace svc
