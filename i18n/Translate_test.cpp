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

TEST(Phrase, ReadsAsWrittenWithoutACatalogue) {
    const Phrase reads(SVC_N("reads %1, outside %2 to %3: is this the right page?"), {"25", "-20", "20"});
    EXPECT_EQ(reads.Written(), "reads 25, outside -20 to 20: is this the right page?");
    // A marked word and a phrase of its own are put in as written too.
    const Phrase band(SVC_N("no %1 candidates found"), {Phrase::Word("light cyan")});
    EXPECT_EQ(band.Written(), "no light cyan candidates found");
    EXPECT_EQ(Phrase("%1; %2", {reads, band}).Written(),
              "reads 25, outside -20 to 20: is this the right page?; no light cyan candidates found");
    // A text without values is kept exactly, a "%" in it too.
    EXPECT_EQ(Phrase("100%% of %1").Written(), "100%% of %1");
    EXPECT_TRUE(Phrase().empty());
    EXPECT_TRUE(Phrase(std::string()).empty());
    EXPECT_FALSE(reads.empty());
    // Phrases compare by what they read.
    EXPECT_EQ(reads, Phrase("reads 25, outside -20 to 20: is this the right page?"));
    EXPECT_FALSE(reads == band);
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
    EXPECT_EQ(Format(Tr("Operation %1 is not in the service journal."), {"7"}),
              "Vorgang 7 ist nicht im Servicejournal.");
    // UTF-8 whatever the locale's character set.
    EXPECT_STREQ(Tr("Quit one or more programs, and then try again."),
                 "Beenden Sie ein oder mehrere Programme und versuchen Sie es erneut.");
    EXPECT_STREQ(Tr("Adjusted items"), "Justierte Werte");
    EXPECT_NE(std::strstr(Tr("Printer is before initial ink charge."), "Erstbef\xC3\xBCllung"), nullptr);
    // The empty text is not the catalogue's header, and an unknown text stays.
    EXPECT_STREQ(Tr(""), "");
    EXPECT_STREQ(Tr("VSD1 12"), "VSD1 12");
}

TEST_F(Catalogue, APhraseIsTranslatedWhereItIsShownAndOnlyThere) {
    if (!Use("de", "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    const Phrase band(SVC_N("the %1 band shows %2 ticks under %3 references where the pattern has %4"),
                      {Phrase::Word("light cyan"), "7", "9", "9"});
    EXPECT_EQ(band.Shown(), "das Band für Hell-Cyan zeigt 7 Striche unter 9 Referenzen, wo das Muster 9 hat");
    EXPECT_EQ(band.Written(), "the light cyan band shows 7 ticks under 9 references where the pattern has 9");
    // A value that is no marked word stays as it is, even when the
    // catalogue happens to know it.
    EXPECT_EQ(Phrase(SVC_N("no %1 candidates found"), {"gray"}).Shown(), "keine Kandidaten für gray gefunden");
    // A phrase inside a phrase is translated with it.
    const Phrase turned(SVC_N("the print turned %1 degrees upright"), {"0.50"});
    EXPECT_EQ(Phrase("%1; %2", {Phrase(SVC_N("the image is too small")), turned}).Shown(),
              "das Bild ist zu klein; der Druck um 0.50 Grad gerade gedreht");
    ASSERT_TRUE(Use("de", "C"));
    EXPECT_EQ(band.Shown(), band.Written());
}

}  // namespace
}  // namespace svc
