// read-page against the recording fake: the proposal on standard output as
// an input line, the measurements on standard error, exit 1 for a page that
// does not read and 2 for words it cannot use, before anything is sent.
#include "cli/CliFrame.h"
#include "cli/CliHost.h"
#include "cli/Session.h"
#include "cli/testing/Streams.h"
#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace svc::cli {
namespace {

using fake::Fake;
using testing::Streams;

// A cut page as a binary PNM (no resolution in it): seventeen columns, black
// to the cut in the first `mark`, cyan strips growing by 8 rows after.
std::string WriteCutPage(int mark) {
    const int width = 17 * 160 + 200, height = 300;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width * height * 3), 255);
    for (int k = 1; k <= 17; ++k) {
        const int left = 58 + 160 * (k - 1), strip = k <= mark ? 0 : 8 * (k - mark);
        for (int y = 100; y < height; ++y)
            for (int x = left; x < left + 120; ++x) {
                unsigned char* p = &rgb[static_cast<std::size_t>((y * width + x) * 3)];
                const bool cyan = y >= height - strip;
                p[0] = cyan ? 0 : 20, p[1] = cyan ? 160 : 20, p[2] = cyan ? 230 : 20;
            }
    }
    const std::string path = ::testing::TempDir() + "svc_read_page_cut.ppm";
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return path;
}

class ReadPageOpsTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }
    int Run(std::vector<std::string> ops) {
        std::vector<std::string> args = {"--model", "4100", "--port", "LPT1", "--yes"};
        args.insert(args.end(), ops.begin(), ops.end());
        std::istringstream in;
        CommandLine line;
        // Arguments an operation cannot use are refused while the line is read.
        if (!ParseCommandLine(args, in, line).empty()) return kExitUsage;
        CliHost host(frame, true, [](const std::string&, std::string&) { return false; });
        SetHost(&host);
        const int status = RunSession(line, frame);
        SetHost(nullptr);
        return status;
    }
    Streams streams;
    CliFrame frame{streams.out, streams.err};
};

TEST_F(ReadPageOpsTest, TheProposalIsAnInputLineAndTheDetailsGoToStandardError) {
    const std::string page = WriteCutPage(12);
    ASSERT_EQ(Run({"read-page", "cut", page}), kExitOk) << streams.Err();
    EXPECT_NE(streams.Out().find("cut-input 12\n"), std::string::npos) << streams.Out();
    EXPECT_NE(streams.Err().find("read-page: cut: 12 (confidence 1.00) at x "), std::string::npos) << streams.Err();
    std::remove(page.c_str());
}

TEST_F(ReadPageOpsTest, APageThatDoesNotReadFailsAndSaysWhyWithNoLine) {
    const std::string page = WriteCutPage(9);
    // No PF pattern on a cut page.
    EXPECT_EQ(Run({"read-page", "pf", page}), kExitFailed);
    EXPECT_EQ(streams.Out().find("pf-input"), std::string::npos) << streams.Out();
    EXPECT_NE(streams.Err().find("read-page: pf"), std::string::npos) << streams.Err();
    EXPECT_NE(streams.Err().find("error: read-page:"), std::string::npos) << streams.Err();
    std::remove(page.c_str());
}

TEST_F(ReadPageOpsTest, WordsItCannotUseStopBeforeTheConnection) {
    const std::string page = WriteCutPage(9);
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"read-page", "cutt", page}, {"read-page", "cut", page + ".missing"},
          {"read-page", "pf", page, "VSD1"}, {"read-page", "bid", page, "VSD3"}, {"read-page", "cut", "/"}}) {
        Fake().Reset();
        EXPECT_EQ(Run(words), kExitUsage) << words[1] << " " << words[2];
        EXPECT_TRUE(Fake().AcceptedBytes().empty());
    }
    std::remove(page.c_str());
}

}  // namespace
}  // namespace svc::cli
