// The print head's 25-character ID: checked group by group, packed into the
// 21 EEPROM bytes 0x82-0x96, and read back as text. The check-pattern print
// reads it with Read().
#pragma once

#include "link/FeatureFrame.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace svc {

class TPHeadID {
public:
    static constexpr int kTextLength = 25;

    // Checks the whole text, then writes the 21 bytes from 0x82 upward.
    // A refused text writes nothing and returns 0x5000 with HeadIdErrorDetail
    // naming the first faulty group; a channel failure returns its code.
    Result Write(std::string_view text);
    // Reads the 21 bytes and composes the 25 characters (the check character
    // recomputed). Stored bytes out of their ranges give 0x5000 with detail 1.
    Result Read(std::string& text);

    // ---- the head ID input panel ----
    // Picking "Head ID": the focus goes to the ID field.
    void HeadIDChosen(FeatureFrame& frame);
    void HeadIDInputOKBtnClick(FeatureFrame& frame);
    void HeadIDReadBtnClick(FeatureFrame& frame);
    void HeadCheckPrintShowBtnClick(FeatureFrame& frame);
    // ---- the head check print panel ----
    void HeadCheckPrintBtnClick(FeatureFrame& frame);
    void HeadIDInputShowBtnClick(FeatureFrame& frame);

    // The head check pattern itself belongs to the check prints; they hand
    // their routine in here at start-up. Without one the Print button says so.
    void SetHeadCheckPattern(std::function<Result()> print) { headCheckPattern_ = std::move(print); }

    // ---- the character sets ----
    // Head ID character code (32-71) of a character, 0 when it is not in the set.
    static std::uint8_t CharacterCode(char c);
    // The character of a code 32-71 ('?' for any other code).
    static char CodeCharacter(std::uint8_t code);
    // Check value (1-37) of a character, 0 for any other character.
    static int CheckValue(char c);
    // The character of a check value 1-37.
    static char CheckCharacter(int value);

private:
    std::function<Result()> headCheckPattern_;
};

TPHeadID& HeadID();

}  // namespace svc
