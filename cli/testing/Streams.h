// What svcadjust-cli prints, captured for tests: the frame's two streams as
// temporary files, read back whole.
#pragma once

#include <cstdio>
#include <string>

namespace svc::cli::testing {

// Everything written to f so far.
inline std::string ReadAll(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
}

// Standard output and standard error of a frame under test.
struct Streams {
    Streams() : out(std::tmpfile()), err(std::tmpfile()) {}
    ~Streams() {
        std::fclose(out);
        std::fclose(err);
    }
    Streams(const Streams&) = delete;
    Streams& operator=(const Streams&) = delete;
    std::string Out() const { return ReadAll(out); }
    std::string Err() const { return ReadAll(err); }
    std::FILE* out;
    std::FILE* err;
};

}  // namespace svc::cli::testing
