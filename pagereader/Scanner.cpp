// Scanning a page through SANE. One scan at a time: SANE is initialised for
// the scan and left again afterwards, so that a scanner is free for other
// programs between pages.
#include "pagereader/Scanner.h"

#include "i18n/Translate.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <sstream>
#include <thread>

#if SVC_HAVE_SANE
#include <sane/sane.h>
#include <sane/saneopts.h>
#endif

#if SVC_HAVE_SANE && (defined(SVC_UNDER_SANITIZERS) || defined(__SANITIZE_ADDRESS__))
#include <sanitizer/lsan_interface.h>
#define SVC_LEAKS_OF_THE_BACKENDS 1
#endif

namespace svc::pagereader {

bool ParseScanOptions(const std::string& text, std::vector<std::pair<std::string, std::string>>* options,
                      std::string* error) {
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        if (equals == 0 || equals == std::string::npos) {
            if (error) *error = Format(Tr("'%1' is not NAME=VALUE"), {word});
            return false;
        }
        options->emplace_back(word.substr(0, equals), word.substr(equals + 1));
    }
    return true;
}

#if !SVC_HAVE_SANE

bool ScanningAvailable() { return false; }

std::optional<Image> ScanPage(const ScanRequest&, std::string* error) {
    if (error) *error = Tr("this program was built without scanner support (SANE)");
    return std::nullopt;
}

#else

bool ScanningAvailable() { return true; }

namespace {

std::string Why(SANE_Status status) { return sane_strstatus(status); }

// SANE from sane_init to sane_exit, the device open in between.
class Session {
public:
    Session() { initialised_ = sane_init(nullptr, nullptr) == SANE_STATUS_GOOD; }
    ~Session() {
        if (handle_) sane_close(handle_);
        if (initialised_) sane_exit();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Initialised() const { return initialised_; }
    SANE_Handle handle() const { return handle_; }
    SANE_Status Open(const std::string& device) { return sane_open(device.c_str(), &handle_); }

private:
    bool initialised_ = false;
    SANE_Handle handle_ = nullptr;
};

// Gives the scan up (sane_cancel, which SANE allows from another thread)
// when the scanner has sent nothing for the request's stall time.
class Watchdog {
public:
    Watchdog(SANE_Handle handle, std::chrono::milliseconds stall) : handle_(handle), stall_(stall) {
        thread_ = std::thread([this] { Watch(); });
    }
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void Progress() {
        std::lock_guard<std::mutex> lock(mutex_);
        last_ = std::chrono::steady_clock::now();
    }
    bool Fired() const { return fired_; }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        last_ = std::chrono::steady_clock::now();
        while (!done_) {
            const auto deadline = last_ + stall_;
            if (std::chrono::steady_clock::now() >= deadline) {
                fired_ = true;
                sane_cancel(handle_);
                return;
            }
            wake_.wait_until(lock, deadline);
        }
    }

    SANE_Handle handle_;
    std::chrono::milliseconds stall_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::chrono::steady_clock::time_point last_;
    bool done_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

int FindOption(SANE_Handle handle, const std::string& name) {
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) return -1;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if (d && d->name && name == d->name) return i;
    }
    return -1;
}

// The word-list or range value nearest to `wanted`.
double Nearest(const SANE_Option_Descriptor& d, double wanted) {
    auto value = [&d](SANE_Word w) { return d.type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : static_cast<double>(w); };
    if (d.constraint_type == SANE_CONSTRAINT_WORD_LIST && d.constraint.word_list && d.constraint.word_list[0] > 0) {
        double best = value(d.constraint.word_list[1]);
        for (SANE_Int i = 1; i <= d.constraint.word_list[0]; ++i) {
            const double v = value(d.constraint.word_list[i]);
            if (std::abs(v - wanted) < std::abs(best - wanted)) best = v;
        }
        return best;
    }
    if (d.constraint_type == SANE_CONSTRAINT_RANGE && d.constraint.range)
        return std::clamp(wanted, value(d.constraint.range->min), value(d.constraint.range->max));
    return wanted;
}

// Sets an option from its text, as the type asks. Empty on success, else why.
std::string SetOption(SANE_Handle handle, const std::string& name, const std::string& text) {
    const int index = FindOption(handle, name);
    if (index < 0) return Format(Tr("the scanner has no option '%1'"), {name});
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, index);
    if (!SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap))
        return Format(Tr("the scanner's option '%1' cannot be set now"), {name});
    SANE_Status status = SANE_STATUS_INVAL;
    std::istringstream in(text);
    switch (d->type) {
        case SANE_TYPE_BOOL: {
            SANE_Bool b = text == "yes" || text == "true" || text == "1" ? SANE_TRUE : SANE_FALSE;
            if (b == SANE_FALSE && text != "no" && text != "false" && text != "0")
                return Format(Tr("the scanner's option '%1' takes yes or no, not '%2'"), {name, text});
            status = sane_control_option(handle, index, SANE_ACTION_SET_VALUE, &b, nullptr);
            break;
        }
        case SANE_TYPE_INT:
        case SANE_TYPE_FIXED: {
            double v = 0;
            std::string rest;
            if (!(in >> v) || (in >> rest) || d->size != static_cast<SANE_Int>(sizeof(SANE_Word)))
                return Format(Tr("the scanner's option '%1' takes one number, not '%2'"), {name, text});
            v = Nearest(*d, v);
            SANE_Word w = d->type == SANE_TYPE_FIXED ? SANE_FIX(v) : static_cast<SANE_Word>(std::lround(v));
            status = sane_control_option(handle, index, SANE_ACTION_SET_VALUE, &w, nullptr);
            break;
        }
        case SANE_TYPE_STRING: {
            if (d->size <= 0 || text.size() >= static_cast<std::size_t>(d->size))
                return Format(Tr("the value of the scanner's option '%1' is too long"), {name});
            std::vector<char> buffer(static_cast<std::size_t>(d->size), '\0');
            std::memcpy(buffer.data(), text.data(), text.size());
            status = sane_control_option(handle, index, SANE_ACTION_SET_VALUE, buffer.data(), nullptr);
            break;
        }
        default:
            return Format(Tr("the scanner's option '%1' cannot be set now"), {name});
    }
    if (status != SANE_STATUS_GOOD) return Format(Tr("the scanner refused '%1=%2' (%3)"), {name, text, Why(status)});
    return {};
}

// Colour when the scanner offers it (by its usual names), else what it has.
void AskForColour(SANE_Handle handle) {
    const int index = FindOption(handle, SANE_NAME_SCAN_MODE);
    if (index < 0) return;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, index);
    if (d->type != SANE_TYPE_STRING || d->constraint_type != SANE_CONSTRAINT_STRING_LIST) return;
    for (const SANE_String_Const* s = d->constraint.string_list; s && *s; ++s)
        if (std::strcmp(*s, SANE_VALUE_SCAN_MODE_COLOR) == 0 || std::strcmp(*s, "Colour") == 0) {
            SetOption(handle, SANE_NAME_SCAN_MODE, *s);
            return;
        }
}

// The resolution the scanner is set to, in dots per inch; 0 when it has none.
double Resolution(SANE_Handle handle) {
    const int index = FindOption(handle, SANE_NAME_SCAN_RESOLUTION);
    if (index < 0) return 0;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, index);
    SANE_Word w = 0;
    if (d->size != static_cast<SANE_Int>(sizeof w) ||
        sane_control_option(handle, index, SANE_ACTION_GET_VALUE, &w, nullptr) != SANE_STATUS_GOOD)
        return 0;
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : static_cast<double>(w);
}

// One frame's samples into the picture: grey or one colour (RED, GREEN,
// BLUE) fill channels, RGB all three. Depth 1 (grey only: a set bit is
// black), 8 or 16 (host byte order; the high byte is kept).
bool PlaceFrame(const SANE_Parameters& p, const std::vector<std::uint8_t>& bytes, Image& page, std::string* error) {
    const int channels = p.format == SANE_FRAME_RGB ? 3 : 1;
    const bool depthOk = p.depth == 8 || p.depth == 16 || (p.depth == 1 && p.format == SANE_FRAME_GRAY);
    // A line holds at least its pixels' samples (a backend that says less is not read past its lines).
    const long long samplesBytes = (static_cast<long long>(p.pixels_per_line) * channels * p.depth + 7) / 8;
    if (!depthOk || p.pixels_per_line <= 0 || p.bytes_per_line <= 0 || p.bytes_per_line < samplesBytes) {
        *error = Format(Tr("the scanner sent samples of %1 bits this program cannot take"), {std::to_string(p.depth)});
        return false;
    }
    const std::size_t perLine = static_cast<std::size_t>(p.bytes_per_line);
    const int lines = static_cast<int>(bytes.size() / perLine);
    if (lines <= 0) {
        *error = Tr("the scanner sent no picture");
        return false;
    }
    if (page.Null()) {
        page.width = p.pixels_per_line;
        page.height = lines;
        page.rgb.assign(static_cast<std::size_t>(page.width) * static_cast<std::size_t>(page.height) * 3, 255);
    } else if (page.width != p.pixels_per_line || page.height != lines) {
        *error = Tr("the scanner's colour frames differ in size");
        return false;
    }
    const int first = p.format == SANE_FRAME_GREEN ? 1 : p.format == SANE_FRAME_BLUE ? 2 : 0;
    const int count = p.format == SANE_FRAME_GRAY ? 3 : p.format == SANE_FRAME_RGB ? 3 : 1;
    for (int y = 0; y < lines; ++y) {
        const std::uint8_t* in = bytes.data() + static_cast<std::size_t>(y) * perLine;
        std::uint8_t* out = page.Row(y);
        for (int x = 0; x < page.width; ++x)
            for (int c = 0; c < count; ++c) {
                const int sample = p.format == SANE_FRAME_RGB ? x * channels + c : x;
                std::uint8_t v = 0;
                if (p.depth == 1) {
                    v = (in[sample / 8] >> (7 - sample % 8)) & 1 ? 0 : 255;
                } else if (p.depth == 8) {
                    v = in[sample];
                } else {
                    std::uint16_t wide = 0;
                    std::memcpy(&wide, in + 2 * sample, 2);
                    v = static_cast<std::uint8_t>(wide >> 8);
                }
                out[x * 3 + (p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB ? c : first)] = v;
            }
    }
    return true;
}

}  // namespace

std::optional<Image> ScanPage(const ScanRequest& request, std::string* error) {
#if SVC_LEAKS_OF_THE_BACKENDS
    // Some of SANE's backends keep buffers that sane_exit, which unloads
    // them, never frees; the leak checker would lay them at our door. (Only
    // what is allocated on this thread is left out of its count.)
    __lsan::ScopedDisabler backendsKeepTheirBuffers;
#endif
    std::string why;
    auto failed = [&](const std::string& reason) {
        if (error) *error = reason;
        return std::nullopt;
    };
    Session sane;
    if (!sane.Initialised()) return failed(Tr("SANE, the scanner library, could not be started"));
    std::string device = request.device;
    if (device.empty()) {
        const SANE_Device** devices = nullptr;
        if (sane_get_devices(&devices, SANE_FALSE) != SANE_STATUS_GOOD || !devices || !devices[0])
            return failed(Tr("no scanner was found (scanimage -L lists what SANE sees)"));
        device = devices[0]->name;
    }
    if (const SANE_Status s = sane.Open(device); s != SANE_STATUS_GOOD)
        return failed(Format(Tr("the scanner '%1' cannot be opened (%2)"), {device, Why(s)}));
    SANE_Handle h = sane.handle();
    AskForColour(h);
    if (FindOption(h, SANE_NAME_SCAN_RESOLUTION) >= 0) {
        if (std::string e = SetOption(h, SANE_NAME_SCAN_RESOLUTION, std::to_string(request.dpi)); !e.empty())
            return failed(e);
    }
    for (const auto& [name, value] : request.options)
        if (std::string e = SetOption(h, name, value); !e.empty()) return failed(e);

    Image page;
    Watchdog watchdog(h, request.stall);
    constexpr std::size_t kMost = 1u << 30;  // a gigabyte: far beyond an A3 sheet at 600 dpi
    for (bool last = false; !last;) {
        SANE_Status s = sane_start(h);
        SANE_Parameters p{};
        if (s == SANE_STATUS_GOOD) s = sane_get_parameters(h, &p);
        if (s != SANE_STATUS_GOOD) {
            sane_cancel(h);
            if (watchdog.Fired()) break;
            return failed(Format(Tr("the scanner '%1' did not scan (%2)"), {device, Why(s)}));
        }
        watchdog.Progress();
        std::vector<std::uint8_t> bytes;
        if (p.lines > 0)
            bytes.reserve(
                std::min(kMost, static_cast<std::size_t>(p.lines) * static_cast<std::size_t>(p.bytes_per_line)));
        std::vector<SANE_Byte> chunk(64 * 1024);
        for (;;) {
            SANE_Int got = 0;
            s = sane_read(h, chunk.data(), static_cast<SANE_Int>(chunk.size()), &got);
            if (s != SANE_STATUS_GOOD) break;
            watchdog.Progress();
            if (bytes.size() + static_cast<std::size_t>(got) > kMost) {
                sane_cancel(h);
                return failed(Tr("the scanner sent more than a page could hold"));
            }
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
        }
        // A scan given up may end in any status, the end of the page included.
        if (watchdog.Fired()) break;
        if (s != SANE_STATUS_EOF) {
            sane_cancel(h);
            return failed(Format(Tr("the scan stopped (%1)"), {Why(s)}));
        }
        if (!PlaceFrame(p, bytes, page, &why)) {
            sane_cancel(h);
            return failed(why);
        }
        last = p.last_frame == SANE_TRUE;
    }
    if (watchdog.Fired()) {
        const long long seconds = std::max<long long>(1, (request.stall.count() + 999) / 1000);
        return failed(
            Format(Tr("the scanner sent nothing for %1 s; the scan was given up"), {std::to_string(seconds)}));
    }
    sane_cancel(h);
    page.dpi = Resolution(h);
    return page;
}

#endif

}  // namespace svc::pagereader
