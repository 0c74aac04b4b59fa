// read-page against the recording fake: the proposal on standard output as
// an input line, the measurements on standard error, exit 1 for a page that
// does not read and 2 for words it cannot use, before anything is sent.
#include "cli/CliFrame.h"
#include "cli/CliHost.h"
#include "cli/Session.h"
#include "cli/testing/Streams.h"
#include "i18n/Translate.h"
#include "link/testing/FakeOutside.h"
#include "pagereader/Image.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace svc::cli {
namespace {

using fake::Fake;
using testing::Streams;

// A file of this process's own: the tests run in processes of their own, side
// by side, and so may the same tests of another build.
std::string Scratch(const char* name) {
    return ::testing::TempDir() + "svc_read_page_" + std::to_string(::getpid()) + "_" + name;
}

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
    const std::string path = Scratch("cut.ppm");
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return path;
}

class ReadPageOpsTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }
    void TearDown() override {
        ::setenv("LANGUAGE", "", 1);
        std::setlocale(LC_MESSAGES, "C");
    }
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
    for (const std::vector<std::string>& words : {std::vector<std::string>{"read-page", "cutt", page},
                                                  {"read-page", "cut", page + ".missing"},
                                                  {"read-page", "pf", page, "VSD1"},
                                                  {"read-page", "bid", page, "VSD3"},
                                                  {"read-page", "cut", "/"}}) {
        Fake().Reset();
        EXPECT_EQ(Run(words), kExitUsage) << words[1] << " " << words[2];
        EXPECT_TRUE(Fake().AcceptedBytes().empty());
    }
    std::remove(page.c_str());
}

// scan:DEVICE scans the page: here with SANE's file reader, which serves a
// picture file as a scanner would (only it is enabled, so no real scanner is
// probed), and its options from SVCADJUST_SCAN_OPTIONS. The picture is a
// PF page of the reader's corpus, scanned at 200 dpi.
TEST_F(ReadPageOpsTest, AScannedPageIsReadAsItsFileIs) {
    std::string error;
    const std::optional<pagereader::Image> corpus =
        pagereader::LoadImage(SVC_READER_CORPUS "/pf-scan-200dpi.jpg", &error);
    ASSERT_TRUE(corpus) << error;
    const std::string page = Scratch("scanned.ppm");
    {
        std::ofstream out(page, std::ios::binary);
        out << "P6\n" << corpus->width << " " << corpus->height << "\n255\n";
        out.write(reinterpret_cast<const char*>(corpus->rgb.data()), static_cast<std::streamsize>(corpus->rgb.size()));
    }
    const std::string config = Scratch("sane");
    std::filesystem::create_directories(config);
    std::ofstream(config + "/dll.conf") << "pnm\n";
    ::setenv("SANE_CONFIG_DIR", config.c_str(), 1);
    ::setenv("SVCADJUST_SCAN_OPTIONS", ("filename=" + page + " resolution=200").c_str(), 1);
    const int status = Run({"read-page", "pf", "scan:pnm:0"});
    if (status == kExitUsage && streams.Err().find("without scanner support") != std::string::npos) {
        GTEST_SKIP() << "built without SANE";
    }
    EXPECT_EQ(status, kExitOk) << streams.Err();
    EXPECT_NE(streams.Out().find("pf-input 3\n"), std::string::npos) << streams.Out();
    EXPECT_NE(streams.Err().find("read-page: scanned " + std::to_string(corpus->width) + " x " +
                                 std::to_string(corpus->height) + " pixels at 200 dpi\n"),
              std::string::npos)
        << streams.Err();

    // Options that are no NAME=VALUE stop it before the connection; a scanner
    // that is not there fails the operation and says which.
    Fake().Reset();
    ::setenv("SVCADJUST_SCAN_OPTIONS", "filename", 1);
    EXPECT_EQ(Run({"read-page", "cut", "scan:pnm:0"}), kExitUsage);
    EXPECT_TRUE(Fake().AcceptedBytes().empty());
    std::istringstream none;
    CommandLine line;
    EXPECT_NE(ParseCommandLine({"--model", "4100", "--port", "LPT1", "read-page", "cut", "scan:"}, none, line)
                  .find("SVCADJUST_SCAN_OPTIONS: 'filename' is not NAME=VALUE"),
              std::string::npos);
    ::unsetenv("SVCADJUST_SCAN_OPTIONS");
    EXPECT_EQ(Run({"read-page", "cut", "scan:pnm:9"}), kExitFailed);
    EXPECT_NE(streams.Err().find("the scanner 'pnm:9' cannot be opened"), std::string::npos) << streams.Err();

    ::unsetenv("SANE_CONFIG_DIR");
    std::filesystem::remove_all(config);
    std::remove(page.c_str());
}

TEST_F(ReadPageOpsTest, InGermanTheReasonsAreGermanAndTheLinesAndNumbersStay) {
    const std::string page = WriteCutPage(9);
    const std::string text = Scratch("text.png");
    std::ofstream(text) << "not a picture\n";
    struct Said {
        int status;
        std::string out, err;
    };
    const auto run = [&](std::vector<std::string> ops) {
        // Each run's part of the streams.
        const std::size_t outAt = streams.Out().size(), errAt = streams.Err().size();
        Fake().Reset();
        const int status = Run(std::move(ops));
        return Said{status, streams.Out().substr(outAt), streams.Err().substr(errAt)};
    };
    const std::vector<std::vector<std::string>> runs = {{"read-page", "pixel-shift", page},
                                                        {"read-page", "pf", page},
                                                        {"read-page", "cut", page},
                                                        {"read-page", "cut", text}};
    std::vector<Said> english, german;
    for (const auto& ops : runs) english.push_back(run(ops));
    InitTranslations();
    ::setenv("LANGUAGE", "de", 1);
    if (!std::setlocale(LC_MESSAGES, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    for (const auto& ops : runs) german.push_back(run(ops));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(german[i].status, english[i].status) << runs[i][1];
        EXPECT_NE(german[i].err, english[i].err) << runs[i][1];
    }
    // The input line is the same (the memo above it follows the language).
    EXPECT_NE(english[2].out.find("\ncut-input 9\n"), std::string::npos) << english[2].out;
    EXPECT_NE(german[2].out.find("\ncut-input 9\n"), std::string::npos) << german[2].out;
    // As written in the C locale, word for word.
    EXPECT_NE(english[0].err.find("read-page: pixel-shift D: not read: no light cyan candidates found\n"),
              std::string::npos)
        << english[0].err;
    EXPECT_NE(english[3].err.find("is not an image this program can read (not PNG, JPEG, TIFF or PNM)"),
              std::string::npos)
        << english[3].err;
    // The reasons, the page's and each item's, with a marked word in them;
    // the image file's; the numbers as they are.
    EXPECT_NE(german[0].err.find("read-page: pixel-shift A: nicht gelesen: das Band für Cyan zeigt 6 Striche unter 17 "
                                 "Referenzen, wo das Muster 11 hat bei x 0, y 172 (2920 x 128 Pixel)\n"),
              std::string::npos)
        << german[0].err;
    EXPECT_NE(german[0].err.find("read-page: pixel-shift D: nicht gelesen: keine Kandidaten für Hell-Cyan gefunden\n"),
              std::string::npos)
        << german[0].err;
    EXPECT_NE(german[1].err.find("read-page: pf: das Bild nennt seine Auflösung nicht"), std::string::npos)
        << german[1].err;
    EXPECT_NE(german[2].err.find("read-page: cut: 9 (Sicherheit 1.00) bei x "), std::string::npos) << german[2].err;
    EXPECT_NE(german[3].err.find("ist kein Bild, das dieses Programm lesen kann (weder PNG noch JPEG, TIFF oder PNM)"),
              std::string::npos)
        << german[3].err;
    for (const Said& said : german)
        for (const char* english_text : {"not read", "candidates", "resolution", "confidence", "is not an image"})
            EXPECT_EQ(said.err.find(english_text), std::string::npos) << said.err;
    std::remove(page.c_str());
    std::remove(text.c_str());
}

}  // namespace
}  // namespace svc::cli
