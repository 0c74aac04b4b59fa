// The shared end of the print-file generators: compose the job through the
// program's own job stream against the recording fake of the outside
// libraries, then write exactly the bytes the printer would have taken.
#pragma once

#include "link/VexRaster.h"
#include "link/testing/FakeOutside.h"

#include <cstdio>
#include <functional>
#include <vector>

namespace svc::printfiles {

inline int WriteJob(int argc, char** argv, const std::function<Result(TPRaster&)>& compose) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argc > 0 ? argv[0] : "make_printfile");
        return 2;
    }
    fake::Fake().Reset();
    fake::ScriptedHost host;
    if (Result r = compose(JobStream()); r != rc::Ok) {
        std::fprintf(stderr, "composing the job failed with 0x%04X\n", r);
        return 1;
    }
    const std::vector<std::uint8_t> bytes = fake::Fake().AcceptedBytes();
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}

}  // namespace svc::printfiles
