// read-page: the proposal read off a printed adjustment page (the virtual
// printer's page file, or a scan or photo of a real sheet), as one line of
// the matching input operation on standard output, so that it can be
// reviewed or piped back into svcadjust-cli; what was measured, where and
// how sure, on standard error. Values the page alone does not show (the
// Bi-D values the trials were printed around, the first dot value in use)
// are read from the printer in the session.
#include "cli/Operations.h"

#include "cli/CliFrame.h"
#include "eeprom/VexEeprom.h"
#include "i18n/Translate.h"
#include "pagereader/Image.h"
#include "pagereader/PageReader.h"
#include "pagereader/Scanner.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace svc::cli {

namespace {

namespace pr = svc::pagereader;

constexpr const char* kKinds = "bid, pf, head-angular, pw, pixel-shift, first-dot, cut";

// The Bi-D rows with their EEPROM bytes.
struct BidRow {
    const char* name;
    eep::Address address;
};
constexpr BidRow kBidRows[8] = {{"VSD1Bk", 0x60},  {"VSD1CL", 0x64},  {"VSD2Bk", 0x61}, {"VSD2CL", 0x65},
                                {"VSD2DBk", 0x62}, {"VSD2DCL", 0x66}, {"VSD4Bk", 0x63}, {"VSD4CL", 0x67}};
constexpr eep::Address kFirstDotAddress = 0x68;

// IMAGE "scan:" or "scan:DEVICE" scans the page instead of reading a file
// (a file of that name is given as ./scan:...). The scanner's own options
// come from SVCADJUST_SCAN_OPTIONS, "NAME=VALUE ...".
constexpr std::string_view kScan = "scan:";

bool IsScan(const std::string& image) { return image.compare(0, kScan.size(), kScan) == 0; }

std::string ScanOptions(pr::ScanRequest* request) {
    const char* text = std::getenv("SVCADJUST_SCAN_OPTIONS");
    std::string error;
    if (text && !pr::ParseScanOptions(text, &request->options, &error))
        return Format(Tr("SVCADJUST_SCAN_OPTIONS: %1"), {error});
    return {};
}

std::string CheckReadPage(const Arguments& args) {
    if (!pr::KindFromName(args[0])) return Format(Tr("'%1' is not a page kind (%2)"), {Shown(args[0]), kKinds});
    if (IsScan(args[1])) {
        if (!pr::ScanningAvailable()) return Tr("this program was built without scanner support (SANE)");
        pr::ScanRequest request;
        if (std::string e = ScanOptions(&request); !e.empty()) return e;
    } else {
        struct stat info {};
        if (::stat(args[1].c_str(), &info) != 0) return Format(Tr("no file '%1'"), {Shown(args[1])});
        if (!S_ISREG(info.st_mode)) return Format(Tr("'%1' is not a file"), {Shown(args[1])});
    }
    if (args.size() > 2) {
        if (args[0] != "bid") return Tr("only a Bi-D page takes the settings it was printed with");
        std::istringstream list(args[2]);
        for (std::string word; std::getline(list, word, ',');)
            if (word != "VSD1" && word != "VSD2" && word != "VSD2'" && word != "VSD4")
                return Format(Tr("'%1' is not one of VSD1, VSD2, VSD2', VSD4"), {Shown(word)});
    }
    return {};
}

std::string PlaceText(const std::vector<pr::Place>& where) {
    if (where.empty()) return "";
    const pr::Place& p = where.front();
    auto whole = [](double v) { return std::to_string(static_cast<long long>(v + (v < 0 ? -0.5 : 0.5))); };
    return Format(Tr(" at x %1, y %2 (%3 x %4 pixels)"), {whole(p.x), whole(p.y), whole(p.width), whole(p.height)});
}

std::string RunReadPage(CliFrame& frame, const Arguments& args) {
    const pr::Kind kind = *pr::KindFromName(args[0]);
    const std::string kindName(pr::KindName(kind));
    std::string error;
    std::optional<pr::Image> page;
    if (IsScan(args[1])) {
        pr::ScanRequest request;
        request.device = args[1].substr(kScan.size());
        if (std::string e = ScanOptions(&request); !e.empty()) return e;
        page = pr::ScanPage(request, &error);
        if (!page) return error;
        std::fprintf(
            frame.Err(), "read-page: %s\n",
            Format(Tr("scanned %1 x %2 pixels at %3 dpi"),
                   {std::to_string(page->width), std::to_string(page->height), std::to_string(std::lround(page->dpi))})
                .c_str());
    } else {
        page = pr::LoadImage(args[1], &error);
        if (!page)
            return error.empty() ? Format(Tr("'%1' is not an image this program can read"), {Shown(args[1])}) : error;
    }

    pr::Context context;
    context.model = frame.ModelCode();
    if (kind == pr::Kind::Bid) {
        for (const BidRow& row : kBidRows) {
            int value = 0;
            if (const Result r = EepromReadSigned(row.address, value); r != rc::Ok)
                return Format(Tr("the stored Bi-D values could not be read (code %1)"), {std::to_string(r)});
            context.stored.emplace_back(row.name, value);
        }
        if (args.size() > 2) {
            std::istringstream list(args[2]);
            for (std::string word; std::getline(list, word, ',');) context.bidSettings.push_back(word);
        }
    } else if (kind == pr::Kind::FirstDot) {
        int value = 0;
        if (const Result r = EepromReadSigned(kFirstDotAddress, value); r != rc::Ok)
            return Format(Tr("the stored first dot value could not be read (code %1)"), {std::to_string(r)});
        // As the panel reads it: a byte above 0x80 is negative.
        context.stored.emplace_back("", value);
    }

    const pr::Reading reading = pr::Read(kind, *page, context);
    frame.EndLine();
    std::FILE* err = frame.Err();
    if (!reading.sheet.empty())
        std::fprintf(err, "read-page: %s: %s\n", kindName.c_str(), reading.sheet.Shown().c_str());
    if (reading.upsideDown)
        std::fprintf(err, "read-page: %s: %s\n", kindName.c_str(), Tr("the page was read upside down"));
    if (!reading.problem.empty())
        std::fprintf(err, "read-page: %s: %s\n", kindName.c_str(), reading.problem.Shown().c_str());
    int unread = 0;
    for (const pr::Item& item : reading.items) {
        const std::string name = item.name.empty() ? kindName : kindName + " " + item.name;
        if (item.value) {
            char confidence[16];
            std::snprintf(confidence, sizeof confidence, "%.2f", item.confidence);
            std::fprintf(err, "read-page: %s: %s%s\n", name.c_str(),
                         Format(Tr("%1 (confidence %2)"), {std::to_string(*item.value), confidence}).c_str(),
                         PlaceText(item.where).c_str());
        } else {
            ++unread;
            std::fprintf(err, "read-page: %s: %s%s\n", name.c_str(),
                         Format(Tr("not read: %1"), {item.problem.Shown()}).c_str(), PlaceText(item.where).c_str());
        }
    }
    std::fflush(err);
    if (kind == pr::Kind::HeadAngular) {
        // No value to input: the technician turns the lever. The line says so as a comment.
        if (!reading.items.empty() && reading.items.front().value) {
            const int lean = *reading.items.front().value;
            const char* advice =
                lean == 0 ? SVC_N("the bars stand straight; leave the lever")
                : std::abs(lean) == 1
                    ? (lean > 0 ? SVC_N("the bars lean %1 lever step right; turn the lever %1 step back")
                                : SVC_N("the bars lean %1 lever step left; turn the lever %1 step back"))
                    : (lean > 0 ? SVC_N("the bars lean %1 lever steps right; turn the lever %1 steps back")
                                : SVC_N("the bars lean %1 lever steps left; turn the lever %1 steps back"));
            std::fprintf(frame.Out(), "# head-angular: %s\n",
                         Format(Tr(advice), {std::to_string(std::abs(lean))}).c_str());
        }
    } else if (const std::string line = reading.InputLine(); !line.empty()) {
        std::fprintf(frame.Out(), "%s\n", line.c_str());
    }
    std::fflush(frame.Out());
    if (!reading.problem.empty() && reading.items.empty()) return Tr("the page could not be read");
    if (unread > 0)
        return Format(Tr("%1 of %2 items could not be read"),
                      {std::to_string(unread), std::to_string(reading.items.size())});
    return {};
}

}  // namespace

OperationList ReadPageOperations() {
    OperationList ops;
    ops.push_back({"read-page", "KIND IMAGE [SETTINGS]",
                   SVC_N("read the proposal off a printed page (KIND: bid, pf, head-angular, pw, pixel-shift, "
                         "first-dot, cut); prints the input line; IMAGE is a picture file, or scan: (scan:DEVICE) "
                         "to scan the page with a SANE scanner; a Bi-D page printed with some settings names them "
                         "as bid-print does"),
                   2, 3, Group::Adjustment, -1, nullptr, RunReadPage, CheckReadPage});
    return ops;
}

}  // namespace svc::cli
