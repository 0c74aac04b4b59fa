// vpcapture FILE: prints a link capture decoded, one block per packet.
// vpcapture --transcript FILE: only the host's library calls, one per line.
#include <getopt.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "vprinter/Transcript.h"
#include "vprinter/engine/CaptureDecoder.h"

namespace {

const char kUsage[] =
    "usage: vpcapture FILE\n"
    "       vpcapture --transcript FILE\n"
    "Prints every packet of a link capture with its time and direction, the channel\n"
    "commands, EEPROM requests and status decoded, and print data as job commands.\n"
    "--transcript prints only what the host did, one line per library call that\n"
    "reached the printer: data N HH ..., eeprom_read AA, eeprom_write AA VV, status.\n";

int UsageError(const char* message) {
    std::fprintf(stderr, "vpcapture: %s\n%s", message, kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    enum { kTranscript = 1, kHelp };
    static const option kLong[] = {{"transcript", no_argument, nullptr, kTranscript},
                                   {"help", no_argument, nullptr, kHelp},
                                   {nullptr, 0, nullptr, 0}};
    bool transcript = false;
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, "h", kLong, nullptr)) != -1;) {
        switch (c) {
        case kTranscript: transcript = true; break;
        case kHelp:
        case 'h': std::fputs(kUsage, stdout); return 0;
        default: return UsageError(("unknown option '" + std::string(argv[optind - 1]) + "'").c_str());
        }
    }
    if (optind == argc) return UsageError("a capture FILE is needed");
    if (optind + 1 < argc) return UsageError("one capture FILE at a time");
    const char* path = argv[optind];
    std::string error;
    if (transcript) {
        const vp::Transcript t = vp::TranscriptOfFile(path);
        std::cout << t.text;
        error = t.error;
    } else if (!vp::DecodeCaptureFile(path, std::cout, &error) && error.empty()) {
        error = "cannot be decoded";
    }
    if (!error.empty()) {
        std::cout.flush();
        std::fprintf(stderr, "vpcapture: %s: %s\n", path, error.c_str());
        return 1;
    }
    return 0;
}
