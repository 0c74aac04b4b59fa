// vpcapture FILE: prints a link capture decoded, one block per packet.
#include <cstdio>
#include <iostream>
#include <string>

#include "vprinter/engine/CaptureDecoder.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: vpcapture FILE\n"
                             "Prints every packet of a link capture with its time and direction, the channel\n"
                             "commands, EEPROM requests and status decoded, and print data as job commands.\n");
        return argc == 2 ? 0 : 2;
    }
    std::string error;
    if (!vp::DecodeCaptureFile(argv[1], std::cout, &error)) {
        std::cout.flush();
        std::fprintf(stderr, "vpcapture: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
