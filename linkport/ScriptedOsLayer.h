// A system layer for tests: ports open in memory, reads and device-control
// replies come from a script, and the clock only moves when a sleep or a
// scripted read says so, so time-outs cost no wall time.
#pragma once

#include "linkport/OsLayer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace linkport::testing {

class ScriptedOsLayer final : public OsLayer {
public:
    struct Read {
        std::vector<std::uint8_t> bytes;  // offered; the read takes at most what it asks for
        std::uint32_t takesMs = 0;
        bool fails = false;
    };

    // ---- the script ----
    std::uint32_t openError = 0;  // CreateFile fails with this error when not 0
    bool getTimeoutsFails = false;
    bool setTimeoutsFails = false;
    bool writeFails = false;
    std::uint32_t writeAccepts = UINT32_MAX;  // most bytes one write moves
    std::deque<Read> reads;                   // one per ReadFile; when empty nothing arrives
    std::string deviceId;                     // what request 17 stores (text, no length prefix)
    bool ioctlFails = false;

    // ---- what happened ----
    std::vector<std::string> opened;
    std::vector<OsHandle> closed;
    CommTimeouts timeouts;  // as last set (initially what a fresh port has)
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<std::uint32_t> readSizes;
    struct Ioctl {
        std::uint32_t code;
        std::uint32_t outSize;
    };
    std::vector<Ioctl> ioctls;
    std::vector<std::uint32_t> sleeps;
    std::int64_t nowMs = 1'700'000'000'000;  // on a whole second

    OsHandle CreateFile(const char* name) override {
        opened.emplace_back(name);
        if (openError != 0) return Failed(openError), kInvalidHandle;
        const OsHandle handle = nextHandle_++;
        open_.insert(handle);
        return handle;
    }

    bool CloseHandle(OsHandle handle) override {
        if (open_.erase(handle) == 0) return Failed(oserr::kInvalidHandle);
        closed.push_back(handle);
        return true;
    }

    bool GetCommTimeouts(OsHandle handle, CommTimeouts* out) override {
        if (!IsOpen(handle) || getTimeoutsFails) return Failed(oserr::kInvalidHandle);
        *out = timeouts;
        return true;
    }

    bool SetCommTimeouts(OsHandle handle, const CommTimeouts& in) override {
        if (!IsOpen(handle) || setTimeoutsFails) return Failed(oserr::kInvalidHandle);
        timeouts = in;
        return true;
    }

    bool WriteFile(OsHandle handle, const void* data, std::uint32_t count, std::uint32_t* done) override {
        *done = 0;
        if (!IsOpen(handle)) return Failed(oserr::kInvalidHandle);
        if (writeFails) return Failed(oserr::kGenFailure);
        *done = std::min(count, writeAccepts);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        writes.emplace_back(bytes, bytes + *done);
        return true;
    }

    bool ReadFile(OsHandle handle, void* data, std::uint32_t count, std::uint32_t* done) override {
        *done = 0;
        if (!IsOpen(handle)) return Failed(oserr::kInvalidHandle);
        readSizes.push_back(count);
        if (reads.empty()) {
            // Nothing arrives: the read ends when its total time-out has passed.
            nowMs += std::int64_t{timeouts.readTotalMultiplierMs} * count + timeouts.readTotalConstantMs;
            return true;
        }
        const Read read = reads.front();
        reads.pop_front();
        nowMs += read.takesMs;
        if (read.fails) return Failed(oserr::kReadFault);
        *done = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(read.bytes.size()));
        std::memcpy(data, read.bytes.data(), *done);
        return true;
    }

    bool DeviceIoControl(OsHandle handle, std::uint32_t code, void* out, std::uint32_t outSize,
                         std::uint32_t* returned) override {
        *returned = 0;
        ioctls.push_back({code, outSize});
        if (!IsOpen(handle)) return Failed(oserr::kInvalidHandle);
        if (ioctlFails) return Failed(oserr::kGenFailure);
        if (code == kIoctlGetDeviceId) {
            *returned = std::min<std::uint32_t>(outSize, static_cast<std::uint32_t>(deviceId.size()));
            std::memcpy(out, deviceId.data(), *returned);
            return true;
        }
        if (code == kIoctlInitPulse) {
            *returned = outSize > 0 ? 1 : 0;
            return true;
        }
        return Failed(oserr::kInvalidFunction);
    }

    std::uint32_t GetLastError() override { return lastError_; }
    void Sleep(std::uint32_t ms) override {
        sleeps.push_back(ms);
        nowMs += ms;
    }
    std::int64_t TimeSeconds() override { return nowMs / 1000; }

    bool IsOpen(OsHandle handle) const { return open_.count(handle) != 0; }
    std::size_t OpenCount() const { return open_.size(); }

private:
    bool Failed(std::uint32_t error) {
        lastError_ = error;
        return false;
    }

    std::uint32_t lastError_ = 0;
    OsHandle nextHandle_ = 3;
    std::set<OsHandle> open_;
};

}  // namespace linkport::testing
