// vpcapture FILE: prints a link capture decoded, one block per packet.
// vpcapture --transcript FILE: only the host's library calls, one per line.
// vpcapture --transcript --readable FILE: the same with the print data read as job commands.
// vpcapture --pcapng OUT FILE: the capture as a pcapng file for Wireshark.
#include <getopt.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "link/Version.h"
#include "vprinter/Transcript.h"
#include "vprinter/engine/CaptureDecoder.h"
#include "vprinter/engine/CapturePcapng.h"

namespace {

const char kUsage[] =
    "usage: vpcapture FILE\n"
    "       vpcapture --transcript [--readable] FILE\n"
    "       vpcapture --pcapng OUT FILE\n"
    "       vpcapture --help | --version\n"
    "Prints every packet of a link capture with its time and direction, the channel\n"
    "commands, EEPROM requests and status decoded, and print data as job commands.\n"
    "--transcript prints only what the host did, one line per library call that\n"
    "reached the printer: data N HH ..., eeprom_read AA, eeprom_write AA VV, status.\n"
    "--readable splits each data line into the job commands read from it, one a\n"
    "line: its bytes in hex, then what they are (the form of the golden files).\n"
    "--pcapng OUT writes the capture to OUT as pcapng (link type 147, USER0) for\n"
    "Wireshark, which decodes it with the svcadjust-channel.lua dissector.\n"
    "Exit status: 0 when the capture was read, 1 when the file cannot be opened or is\n"
    "not a capture, 2 for a usage error.\n";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "vpcapture: %s\nTry 'vpcapture --help' for more information.\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    enum { kTranscript = 1, kReadable, kPcapng, kHelp, kVersion };
    static const option kLong[] = {
        {"transcript", no_argument, nullptr, kTranscript}, {"readable", no_argument, nullptr, kReadable},
        {"pcapng", required_argument, nullptr, kPcapng},   {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},       {nullptr, 0, nullptr, 0}};
    bool transcript = false;
    bool readable = false;
    const char* pcapng = nullptr;
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, "h", kLong, nullptr)) != -1;) {
        switch (c) {
            case kTranscript:
                transcript = true;
                break;
            case kReadable:
                readable = true;
                break;
            case kPcapng:
                pcapng = optarg;
                break;
            case kHelp:
            case 'h':
                std::fputs(kUsage, stdout);
                return 0;
            case kVersion:
                std::printf("vpcapture %s\n", svc::kVersion);
                return 0;
            default:
                if (optopt == kPcapng) return UsageError("--pcapng needs the name of the file to write");
                // A short option is named by its letter (optind may already be past its word).
                if (optopt > ' ' && optopt < 0x7F)
                    return UsageError(std::string("unknown option '-") + char(optopt) + "'");
                if (optopt != 0) {
                    const std::string word = argv[optind - 1];
                    return UsageError(word.substr(0, word.find('=')) + " takes no value");
                }
                return UsageError("unknown option '" + std::string(argv[optind - 1]) + "'");
        }
    }
    if (optind == argc) return UsageError("a capture FILE is needed");
    if (optind + 1 < argc) return UsageError("one capture FILE at a time");
    const char* path = argv[optind];
    std::string error;
    if (pcapng && transcript) return UsageError("--pcapng and --transcript cannot be combined");
    if (readable && !transcript) return UsageError("--readable goes with --transcript");
    if (pcapng) {
        const vp::PcapngResult r = vp::CaptureToPcapng(path, pcapng);
        if (r.packets > 0 || r.ok) std::fprintf(stderr, "vpcapture: %zu packets written to %s\n", r.packets, pcapng);
        error = r.error;
    } else if (transcript) {
        const vp::Transcript t = vp::TranscriptOfFile(path);
        std::cout << (readable ? vp::ReadableTranscript(t.text) : t.text);
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
