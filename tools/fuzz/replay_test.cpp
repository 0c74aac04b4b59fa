// Runs every input of a fuzz target's corpus through its entry point once.
// The corpus holds the seeds and every input that once crashed the target,
// so each build checks that none of them crashes again (under the sanitizer
// build, that none reads out of bounds or leaks).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// The suite is named after the target (SVC_FUZZ_SUITE), so CTest tells the corpora apart.
TEST(SVC_FUZZ_SUITE, EveryInputRunsCleanly) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(SVC_FUZZ_CORPUS))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(path.filename().string());
        // A copy of exactly the input's size, so reading past it is caught.
        const auto copy = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(bytes.size(), 1));
        std::copy(bytes.begin(), bytes.end(), copy.get());
        EXPECT_EQ(LLVMFuzzerTestOneInput(copy.get(), bytes.size()), 0);
    }
    EXPECT_GE(files.size(), std::size_t{SVC_FUZZ_MIN_FILES}) << SVC_FUZZ_CORPUS;
}
