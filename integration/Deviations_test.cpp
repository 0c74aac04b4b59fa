#include "vprinter/engine/Deviations.h"

#include <gtest/gtest.h>

#include "vprinter/engine/EngineControl.h"
#include "vprinter/engine/PrintEngine.h"
#include "integration/testing/EngineTesting.h"

namespace vp {
namespace {

TEST(Deviations, NamesParseIntoTheirErrors) {
    Deviations d;
    std::string error;
    EXPECT_TRUE(d.Set("bid.vsd1.black=3", &error)) << error;
    EXPECT_TRUE(d.Set("bid.vsd2d.color=-5", &error)) << error;
    EXPECT_TRUE(d.Set("bid.vsd4.color=+72", &error)) << error;
    EXPECT_TRUE(d.Set("pf=-4", &error)) << error;
    EXPECT_TRUE(d.Set("head-angle", "2", &error)) << error;
    EXPECT_TRUE(d.Set("pw.left=24", &error)) << error;
    EXPECT_TRUE(d.Set("pw.bottom=-16", &error)) << error;
    EXPECT_TRUE(d.Set("shift.f=-5", &error)) << error;
    EXPECT_TRUE(d.Set("first-dot=72", &error)) << error;
    EXPECT_TRUE(d.Set("cut=-64", &error)) << error;
    EXPECT_EQ(d.bid[0][0], 3);
    EXPECT_EQ(d.bid[1][2], -5);
    EXPECT_EQ(d.bid[1][3], 72);
    EXPECT_EQ(d.pf, -4);
    EXPECT_EQ(d.headAngle, 2);
    EXPECT_EQ(d.pwLeft, 24);
    EXPECT_EQ(d.pwBottom, -16);
    EXPECT_EQ(d.shift[5], -5);
    EXPECT_EQ(d.firstDot, 72);
    EXPECT_EQ(d.cut, -64);
    EXPECT_EQ(d.Get("bid.vsd2d.color"), -5);
    EXPECT_EQ(Deviations::Names().size(), 8u + 2 + 4 + 4 + 6 + 2 + 7);
    EXPECT_TRUE(d.Set("clog.light-magenta=48,1:9,3", &error)) << error;
    EXPECT_EQ(d.clogs[5][47], 1);
    EXPECT_EQ(d.clogs[5][0], 9);
    EXPECT_EQ(d.Get("clog.light-magenta"), 3);
    EXPECT_EQ(d.Show("clog.light-magenta"), "1:9,3,48");
    EXPECT_EQ(d.Show("clog.black"), "none");
    EXPECT_EQ(d.Show("pf"), "-4");
    d.Clean(1);
    EXPECT_EQ(d.Show("clog.light-magenta"), "1:8");
    EXPECT_TRUE(d.Set("clog.light-magenta=none", &error)) << error;
    EXPECT_EQ(d.Get("clog.light-magenta"), 0);
    EXPECT_NE(Deviations::Help().find("bid.vsd2d.black"), std::string::npos);
    EXPECT_EQ(Deviations{}.Summary(), "none");
}

TEST(Deviations, ARandomPrinterIsTheSeedsAndEveryErrorIsOneItsNameTakes) {
    EXPECT_EQ(vp::Deviations::Random(7), vp::Deviations::Random(7));
    EXPECT_NE(vp::Deviations::Random(7), vp::Deviations::Random(8));
    for (std::uint32_t seed = 1; seed <= 50; ++seed) {
        const vp::Deviations d = vp::Deviations::Random(seed);
        EXPECT_EQ(d.cut % 8, 0) << "a cut error the cut list cannot express, seed " << seed;
        for (const std::string& name : vp::Deviations::Names()) {
            const auto shown = d.Show(name);
            ASSERT_TRUE(shown.has_value()) << name;
            vp::Deviations again;
            std::string error;
            EXPECT_TRUE(again.Set(name, *shown, &error)) << name << "=" << *shown << ": " << error << ", seed " << seed;
        }
    }
}

TEST(Deviations, BadInputIsRefusedAndChangesNothing) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"bid.vsd3.black=1", "unknown deviation"},
        {"pf", "NAME=VALUE"},
        {"pf=", "whole number"},
        {"pf=1.5", "whole number"},
        {"pf=x", "whole number"},
        {"pf=5", "outside -4 to 4"},
        {"pw.left=-9", "outside -8 to 24"},
        {"shift.g=1", "unknown"},
        {"cut=99999999999", "whole number"},
        // The cut value list moves the cut in steps of 8: an error between them could not be put right.
        {"cut=12", "not a multiple of 8"},
        {"clog.black=0,3", "nozzles are 1 to 48"},
        {"clog.black=49", "nozzles are 1 to 48"},
        {"clog.black=3:0", "cleanings 1 to 9"},
        {"clog.black=3,,4", "is not NOZZLE"},
        {"clog.pink=3", "unknown"},
    };
    for (const Case& c : cases) {
        Deviations d;
        d.pf = 2;
        std::string error;
        EXPECT_FALSE(d.Set(c.text, &error)) << c.text;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << ": " << error;
        EXPECT_EQ(d.pf, 2) << c.text;
        EXPECT_EQ(d, Deviations{[] {
                      Deviations e;
                      e.pf = 2;
                      return e;
                  }()})
            << c.text;
    }
}

TEST(Deviations, ControlCommandsSetErrorsAndTurnTheLever) {
    testing::FakeMachine machine;
    PrintEngine engine(machine);
    auto control = EngineControl(engine, [] {});
    auto run = [&](std::vector<std::string> w) { return control(w).value_or("not handled"); };
    EXPECT_EQ(run({"deviation", "bid.vsd2.color", "-7"}), "OK deviation bid.vsd2.color -7");
    EXPECT_EQ(engine.Deviation().bid[1][1], -7);
    EXPECT_EQ(run({"deviation"}), "OK deviation bid.vsd2.color=-7");
    EXPECT_EQ(run({"deviation", "pf"}), "OK deviation pf 0");
    EXPECT_EQ(run({"deviation", "pf", "9"}).rfind("ERR deviation pf: 9 is outside", 0), 0u);
    EXPECT_EQ(run({"deviation", "nope", "1"}).rfind("ERR unknown deviation", 0), 0u);
    EXPECT_EQ(run({"deviation", "clog.gray", "7,9:2"}), "OK deviation clog.gray 7,9:2");
    EXPECT_EQ(run({"deviation", "clog.gray"}), "OK deviation clog.gray 7,9:2");
    EXPECT_EQ(run({"deviation"}), "OK deviation bid.vsd2.color=-7 clog.gray=7,9:2");
    // The lever is out of reach while the carriage is at home.
    EXPECT_EQ(run({"head-angle", "3"}).rfind("ERR the head-angle lever", 0), 0u);
    EXPECT_EQ(engine.Deviation().headAngle, 0);
    // So is the platen gap, which is set at the PG adjustment points only.
    EXPECT_EQ(run({"deviation", "pg.sub-left", "2"}), "OK deviation pg.sub-left 2");
    EXPECT_EQ(run({"pg-set"}).rfind("ERR the platen gap is set with the carriage", 0), 0u);
    EXPECT_EQ(run({"pg-set", "1"}), "ERR usage: pg-set");
    EXPECT_EQ(engine.Deviation().pgSubLeft, 2);
    EXPECT_EQ(run({"roll", "on"}), "OK roll on");
    EXPECT_TRUE(engine.RollPaper());
    EXPECT_EQ(run({"status"}), "not handled");
}

}  // namespace
}  // namespace vp
