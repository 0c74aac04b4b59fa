// Replays the fuzz corpus through the fuzz entry point (so every saved input
// stays harmless under the sanitizers), and checks that the printer end
// accepts the well-formed conversations and stops at the broken ones.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "chanlink/PrinterEndpoint.h"
#include "chanlink/testing/Loopback.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzCorpus, ReplaysAndJudgesEachInput) {
    // Inputs that are a host's broken stream; the printer must end the conversation.
    const std::set<std::string> broken = {"bad_length", "unknown_socket", "credit_overflow", "no_credit",
                                          "error_from_host"};
    // Inputs that are the printer's side of a conversation, not a host's.
    const std::set<std::string> printerSide = {"printer_replies", "printer_error"};
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(CHANLINK_CORPUS)) {
        const std::vector<std::uint8_t> bytes = Read(entry.path());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++files;
        const std::string name = entry.path().filename().string();
        if (printerSide.count(name)) continue;
        d4::testing::MemoryPrinter services;
        d4::PrinterEndpoint printer(services);
        printer.Receive(bytes.data(), bytes.size());
        EXPECT_EQ(printer.Failed(), broken.count(name) == 1) << name << ": " << printer.LastError();
    }
    EXPECT_GE(files, 10);
}

}  // namespace
