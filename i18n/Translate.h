// The program's texts in the user's language. Every text the program shows or
// prints is written in English in the source and is the key of its
// translation in the one catalogue of the text domain "svcadjust" (po/). In
// the C locale, or for a language without a catalogue, the English text is
// shown byte for byte.
//
// Texts are translated where they are shown: the status memo, message boxes
// and the window builders look a text up as a whole; a text kept in a table
// is marked with SVC_N so that the catalogue has it. A text put together
// from values is a whole sentence with numbered places (Format), so that a
// translation may order them as its language wants.
//
// Qt-free; the windows convert with QString::fromUtf8.
#pragma once

#include <libintl.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "i18n/LocaleDir.h"

// Marks a text for the catalogue without translating it here.
#define SVC_N(text) text

namespace svc {

inline constexpr const char* kTextDomain = "svcadjust";

// The translation of a text; an empty text stays empty (the catalogue keeps
// its own header under the empty key).
inline const char* Tr(const char* text) {
    if (text == nullptr || *text == '\0') return text;
    return dgettext(kTextDomain, text);
}
inline std::string Tr(const std::string& text) { return text.empty() ? text : std::string(Tr(text.c_str())); }

namespace detail {
inline std::string Format(std::string_view pattern, const std::string_view* values, std::size_t count) {
    std::string out;
    out.reserve(pattern.size() + 16);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size()) {
            const char next = pattern[i + 1];
            if (next == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (next >= '1' && next <= '9' && static_cast<std::size_t>(next - '1') < count) {
                out += values[next - '1'];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}
}  // namespace detail

// The text with %1 ... %9 replaced by the values given; "%%" is one "%". A
// place without a value and a "%" before anything else are kept as written.
inline std::string Format(std::string_view pattern, std::initializer_list<std::string_view> values) {
    return detail::Format(pattern, values.begin(), values.size());
}

// A text kept until it is shown, and translated there: a reason that a
// library gives and a window or the command line shows. Its pattern is
// written in English and marked with SVC_N where it is written; its values
// fill the numbered places as they are (numbers, names), but for a marked
// word (Word) and a phrase of its own, which are translated with the
// pattern. Without a catalogue it reads as Format(pattern, values).
class Phrase {
public:
    struct Value {
        std::string text;
        bool word = false;                     // a marked word: translated where the phrase is shown
        std::shared_ptr<const Phrase> phrase;  // or a phrase of its own
        Value(std::string value) : text(std::move(value)) {}
        Value(const char* value) : text(value != nullptr ? value : "") {}
        Value(Phrase value) : phrase(std::make_shared<const Phrase>(std::move(value))) {}
    };

    Phrase() = default;
    // A whole text without values.
    Phrase(const char* text) : pattern_(text != nullptr ? text : "") {}
    Phrase(std::string text) : pattern_(std::move(text)) {}
    Phrase(std::string pattern, std::vector<Value> values) : pattern_(std::move(pattern)), values_(std::move(values)) {}

    // A value that is itself a marked text ("cyan"), shown in the user's language.
    static Value Word(const char* marked) {
        Value value(marked);
        value.word = true;
        return value;
    }

    bool empty() const { return pattern_.empty(); }
    const std::string& Pattern() const { return pattern_; }
    // As written: the text of the C locale.
    std::string Written() const { return Put(pattern_, false); }
    // In the user's language.
    std::string Shown() const { return Put(Tr(pattern_), true); }

    // Two phrases are the same when they read the same as written.
    friend bool operator==(const Phrase& a, const Phrase& b) { return a.Written() == b.Written(); }
    friend std::ostream& operator<<(std::ostream& out, const Phrase& phrase) { return out << phrase.Written(); }

private:
    std::string Put(const std::string& pattern, bool translated) const {
        if (values_.empty()) return pattern;
        std::vector<std::string> texts;
        texts.reserve(values_.size());
        for (const Value& v : values_) {
            if (v.phrase)
                texts.push_back(translated ? v.phrase->Shown() : v.phrase->Written());
            else
                texts.push_back(translated && v.word ? Tr(v.text) : v.text);
        }
        const std::vector<std::string_view> views(texts.begin(), texts.end());
        return detail::Format(pattern, views.data(), views.size());
    }

    std::string pattern_;
    std::vector<Value> values_;
};

// Where the catalogues are: share/locale beside the program's bin/ folder
// (the build tree, an installed or unpacked tree), else the installed
// locale folder.
inline std::string LocaleDirectory() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !exe.empty()) {
        const std::filesystem::path beside = exe.parent_path().parent_path() / kSvcRelativeLocaleDir;
        if (std::filesystem::is_directory(beside, ec)) return beside.string();
    }
    return kSvcInstalledLocaleDir;
}

// Binds the text domain to its catalogues, always giving UTF-8. The locale
// itself (setlocale) is the program's to choose: the windows take the
// user's whole locale, the command line only its messages.
inline void InitTranslations() {
    static const std::string directory = LocaleDirectory();
    bindtextdomain(kTextDomain, directory.c_str());
    bind_textdomain_codeset(kTextDomain, "UTF-8");
}

}  // namespace svc
