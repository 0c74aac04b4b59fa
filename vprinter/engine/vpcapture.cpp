// vpcapture FILE: prints a link capture decoded, one block per packet.
// vpcapture --transcript FILE: only the host's library calls, one per line.
#include <cstdio>
#include <iostream>
#include <string>

#include "vprinter/Transcript.h"
#include "vprinter/engine/CaptureDecoder.h"

int main(int argc, char** argv) {
    const bool transcript = argc == 3 && std::string(argv[1]) == "--transcript";
    if ((argc != 2 && !transcript) || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: vpcapture FILE\n"
                             "       vpcapture --transcript FILE\n"
                             "Prints every packet of a link capture with its time and direction, the channel\n"
                             "commands, EEPROM requests and status decoded, and print data as job commands.\n"
                             "--transcript prints only what the host did, one line per library call that\n"
                             "reached the printer: data N HH ..., eeprom_read AA, eeprom_write AA VV, status.\n");
        return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    const char* path = argv[argc - 1];
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
