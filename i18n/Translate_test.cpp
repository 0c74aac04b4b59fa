// The translation helpers on their own: the numbered places of a sentence,
// the empty text, and the catalogue found beside the program in German while
// the C locale keeps every text as written.
#include "i18n/Translate.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

namespace svc {
namespace {

TEST(Format, PutsEachValueInItsPlaceInTheOrderTheTextWants) {
    EXPECT_EQ(Format("Operation %1 is not in the service journal.", {"12"}),
              "Operation 12 is not in the service journal.");
    // A translation may turn the places around, and use one twice.
    EXPECT_EQ(Format("%2 / %1 / %2", {"a", "b"}), "b / a / b");
    // A value is put in as it is: a "%1" inside it is not replaced again.
    EXPECT_EQ(Format("[%1] [%2]", {"%2", "x"}), "[%2] [x]");
}

TEST(Format, KeepsWhatIsNotAPlaceAsWritten) {
    // "%%" is one "%"; a "%" before anything but a digit, at the end, or a
    // place without a value stay as written.
    EXPECT_EQ(Format("100%% of %1", {"ink"}), "100% of ink");
    EXPECT_EQ(Format("left margin %1 %, right %2 %", {"40", "60"}), "left margin 40 %, right 60 %");
    EXPECT_EQ(Format("%3 and %1 and %", {"one"}), "%3 and one and %");
    EXPECT_EQ(Format("", {"unused"}), "");
    // A place number is one digit: %10 is the first value and a 0.
    EXPECT_EQ(Format("%10", {"x"}), "x0");
}

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override {
        InitTranslations();
        const char* language = std::getenv("LANGUAGE");
        saved_ = language ? language : "";
    }
    void TearDown() override { Use(saved_.c_str(), "C"); }
    // A locale and a LANGUAGE; a new locale setting makes gettext look again.
    static bool Use(const char* language, const char* locale) {
        ::setenv("LANGUAGE", language, 1);
        return std::setlocale(LC_MESSAGES, locale) != nullptr;
    }
    std::string saved_;
};

TEST_F(Catalogue, TheCLocaleShowsEveryTextAsWrittenEvenWithALanguageAsked) {
    ASSERT_TRUE(Use("de", "C"));
    const char* text = "Printer is ready.";
    // The very same text, not a copy: nothing is looked up.
    EXPECT_EQ(Tr(text), text);
    EXPECT_EQ(Tr(std::string("Quit")), "Quit");
}

TEST_F(Catalogue, GermanIsFoundBesideTheProgramWithCUtf8AndLanguage) {
    if (!Use("de", "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    EXPECT_STREQ(Tr("Printer is ready."), "Der Drucker ist bereit.");
    EXPECT_EQ(Format(Tr("Operation %1 is not in the service journal."), {"7"}), "Vorgang 7 ist nicht im Servicejournal.");
    // UTF-8 whatever the locale's character set.
    EXPECT_STREQ(Tr("Quit one or more programs, and then try again."),
                 "Beenden Sie ein oder mehrere Programme und versuchen Sie es erneut.");
    EXPECT_STREQ(Tr("Adjusted items"), "Justierte Werte");
    EXPECT_NE(std::strstr(Tr("Printer is before initial ink charge."), "Erstbef\xC3\xBCllung"), nullptr);
    // The empty text is not the catalogue's header, and an unknown text stays.
    EXPECT_STREQ(Tr(""), "");
    EXPECT_STREQ(Tr("VSD1 12"), "VSD1 12");
}

}  // namespace
}  // namespace svc
