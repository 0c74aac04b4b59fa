// svcadjust-cli history: the listing of a journal with one session, its
// operations (one that stopped after a write that may not have arrived) and a
// backup, as written in the C locale and in German.
#include "cli/JournalOps.h"
#include "i18n/Translate.h"
#include "journal/SqlStore.h"
#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace svc::cli {
namespace {

namespace fs = std::filesystem;
using namespace svc::journal;

class History : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Fake().Reset();  // no printer is asked: the listing reads the journal only
        dir_ = fs::temp_directory_path() / ("svc-history-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        const std::string path = (dir_ / "journal.sqlite").string();
        ::setenv("SVCADJUST_JOURNAL", path.c_str(), 1);
        auto store = OpenSqlite(path);
        SessionRecord s{0, "2026-12-08 15:45:45", "bench7", 1, 1028, "packet protocol", "AB12345678", ""};
        const std::int64_t session = store->AddSession(s);
        OperationRecord done{0, session, "2026-12-08 15:46:00", "pf-input", "2", 1, {"Writing now..."}, {}};
        done.bytes.push_back({0, Access::Read, 0x77, 0x00, std::nullopt, 1, "eeprom"});
        done.bytes.push_back({1, Access::Write, 0x77, 0x02, std::uint8_t{0x00}, 1, "eeprom"});
        const std::int64_t first = store->AddOperation(done, {}, "AB12345678", "");
        OperationRecord stopped{0, session, "2026-12-08 15:47:00", "bid-input", "VSD1Bk=5", 0x2000, {}, {}};
        stopped.bytes.push_back({0, Access::Write, 0x60, 0x05, std::nullopt, 0x2000, "eeprom"});
        BackupRecord backup{0, 0, "2026-12-08 15:48:00", "AB12345678", "backup", "bench7", {}};
        store->AddOperation(stopped, {backup}, "AB12345678", "");
        (void)first;
    }
    void TearDown() override {
        ::setenv("SVCADJUST_JOURNAL", "off", 1);
        ::setenv("LANGUAGE", "", 1);
        std::setlocale(LC_MESSAGES, "C");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // What `svcadjust-cli history` prints.
    std::string Listing() {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        int status = -1;
        EXPECT_TRUE(RunJournalCommand({"history"}, out, err, status));
        EXPECT_EQ(status, 0);
        std::string text;
        std::rewind(out);
        for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
        std::fclose(out);
        std::fclose(err);
        return text;
    }
    fs::path dir_;
};

TEST_F(History, TheCLocaleListsTheJournalAsWritten) {
    std::setlocale(LC_MESSAGES, "C");
    EXPECT_EQ(Listing(),
              "session 1  2026-12-08 15:45:45 UTC  bench bench7  Corvid Lumen 4100 on LPT1  printer AB12345678\n"
              "  operation 1  2026-12-08 15:46:00  pf-input 2  done, 1 bytes read, 1 written\n"
              "      0x77 PF adjustment: 0x00 -> 0x02\n"
              "  operation 2  2026-12-08 15:47:00  bid-input VSD1Bk=5  stopped (0x2000), 0 bytes read, 1 written\n"
              "      0x60 VSD1 Black: ? -> 0x05  (failed with 0x2000: may or may not have arrived)\n"
              "backups\n"
              "  backup 1  2026-12-08 15:48:00 UTC  printer AB12345678  backup on bench bench7 (operation 2)\n");
}

TEST_F(History, GermanTranslatesTheWordsAndKeepsTheValues) {
    InitTranslations();
    ::setenv("LANGUAGE", "de", 1);
    if (!std::setlocale(LC_MESSAGES, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    const std::string listing = Listing();
    EXPECT_NE(listing.find("Sitzung 1  2026-12-08 15:45:45 UTC  Arbeitsplatz bench7  Corvid Lumen 4100 an LPT1"),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("0x77 PF-Justage: 0x00 -> 0x02"), std::string::npos) << listing;
    EXPECT_NE(listing.find("VSD1 Schwarz: ? -> 0x05  (fehlgeschlagen mit 0x2000"), std::string::npos) << listing;
    EXPECT_NE(listing.find("angehalten (0x2000)"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("bytes read"), std::string::npos) << listing;
}

}  // namespace
}  // namespace svc::cli
