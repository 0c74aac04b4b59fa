// The virtual printer's hidden mechanical errors: what a real printer leaves
// the factory with and what its adjustment values correct. Each error is a
// whole number in the unit of the value that corrects it, so a print shows
// the answer in the same terms the program stores. All zero (the default)
// is a perfect printer that prints exactly as the job and the stored values
// say.
//
// | name              | unit             | effect on the print                                    |
// |-------------------|------------------|--------------------------------------------------------|
// | bid.vsdN.black    | 1/1440 inch      | a return pass (direction 3) of the black head (black,  |
// | bid.vsdN.color    |                  | gray) or colour head lands (Bi-D value in use − error) |
// |                   |                  | to the left; N is 1, 2, 2d (VSD2') or 4                |
// | pf                | 0.5 % of a feed  | every paper feed is (PF value in use − error) × 0.5 %  |
// |                   |                  | longer than nominal                                    |
// | head-angle        | lever steps      | the head-angle lever's position: raster line j of a    |
// |                   |                  | block lands N × depth / 16 to the right (depth: its    |
// |                   |                  | distance below the block's first line), so vertical    |
// |                   |                  | lines slant; 0 is straight                             |
// | pw.top .. pw.right| 1/180 inch       | PW sensor error per edge: the sensor-mode prints land  |
// |                   |                  | so the line or bar of candidate value c lies           |
// |                   |                  | 5 mm + (c − error)/180 inch from that edge             |
// | shift.a .. shift.f| 1/1440 inch      | the nozzle line of line A-F (cyan, magenta, yellow,    |
// |                   |                  | light cyan, light magenta, gray) lands                 |
// |                   |                  | (error − stored value 0x97-0x9C) to the right          |
// | first-dot         | 1/2880 inch      | the first dot lands (error + value 0x68) to the right  |
// |                   |                  | of its nominal place, 144 steps in from the left edge  |
// | cut               | 8/360 inch steps | on roll paper the cutter cuts (error − cut value in    |
// |                   | (given in 1/360) | use) below its nominal place; a multiple of 8, the     |
// |                   |                  | step of the cut value list                             |
// | pg.main-right ..  | gap steps        | platen gap error at the four PG adjustment points      |
// | pg.sub-left       |                  | (main/sub shaft, right/left): where the main and sub   |
// |                   |                  | shaft gaps differ the carriage tilts and raster line j |
// |                   |                  | lands tilt × depth / 32 to the right; 0 is straight    |
// | clog.INK          | nozzles 1-48     | clogged nozzles of one ink: no dash in the nozzle      |
// |                   |                  | check; "5,17:3" (nozzle 17 needs three cleanings)      |
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vp {

struct Deviations {
    // Bi-D error per head (0 black, 1 colour) and VSD index (0 VSD1, 1 VSD2, 2 VSD2', 3 VSD4).
    std::array<std::array<int, 4>, 2> bid{};
    int pf = 0;
    int headAngle = 0;
    // PW sensor error per edge.
    int pwTop = 0, pwBottom = 0, pwLeft = 0, pwRight = 0;
    // Pixel shift error of lines A to F.
    std::array<int, 6> shift{};
    int firstDot = 0;
    int cut = 0;
    // Platen gap error at the PG adjustment points, in steps of the gap tool.
    int pgMainRight = 0, pgMainLeft = 0, pgSubRight = 0, pgSubLeft = 0;
    // The carriage's tilt where it stands `across` (0 the sheet's left edge,
    // 1 its right edge): the main shaft's gap less the sub shaft's there.
    double PlatenTilt(double across) const;
    // Clogged nozzles per ink (the order of vp::Ink), nozzle 0-47: the head
    // cleanings each still needs to fire again; 0 fires.
    static constexpr int kNozzles = 48;
    std::array<std::array<std::uint8_t, kNozzles>, 7> clogs{};

    // Sets one error from "name=value" (or name and value apart). False with a
    // reason for an unknown name, a value that is not a whole number, or one
    // outside the name's range; nothing changes then.
    bool Set(const std::string& assignment, std::string* error);
    bool Set(const std::string& name, const std::string& value, std::string* error);
    // The value of a name, or nothing for an unknown one (for clog.INK: the
    // number of clogged nozzles).
    std::optional<int> Get(const std::string& name) const;
    // The value of a name as it is written ("-3", "5,17:3", "none"), or nothing.
    std::optional<std::string> Show(const std::string& name) const;
    // A head cleaning (an ink charge counts `times` cleanings): each clogged
    // nozzle needs that many fewer.
    void Clean(int times);
    // Every name with its range and unit, one per line, for --help.
    static std::string Help();
    static std::vector<std::string> Names();
    // The errors that are not zero, as "name=value name=value" ("none" when all are).
    std::string Summary() const;
    // A printer with every adjustable error drawn at random from `seed`
    // within the range the program's values can correct (the same seed gives
    // the same printer): for the tests that adjust printers they cannot see.
    static Deviations Random(std::uint32_t seed);

    bool operator==(const Deviations&) const = default;
};

}  // namespace vp
