// PW sensor, pixel shift, first dot position and cut position adjustment:
// the handlers driven through a frame without widgets, against the recording
// fake of the outside libraries. The prints are compared with golden
// transcripts (SVC_UPDATE_GOLDEN=1 rewrites them).
#include "adjust/ColorShiftAdjust.h"
#include "adjust/CutPositionAdjust.h"
#include "adjust/FirstDotAdjust.h"
#include "adjust/PwAdjust.h"
#include "link/ErrorDetails.h"
#include "link/testing/FakeOutside.h"
#include "link/VexRemoteComm.h"
#include "service/ValueFrame.h"
#include "service/VexFactory.h"
#include "vprinter/Transcript.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <tuple>
#include <unistd.h>
#include <fstream>

using namespace svc;
using fake::Fake;
using Writes = std::vector<std::pair<std::uint8_t, std::uint8_t>>;

namespace {

class PositionAdjust : public ::testing::Test {
protected:
    void SetUp() override {
        Fake().Reset();
        // A fixed EEPROM image: PW -8, 24, -16, 16; pixel shift -5..0; first dot 0x80.
        auto& e = Fake().Eeprom();
        e[0x5C] = 0xF8, e[0x5D] = 0x10, e[0x5E] = 0x18, e[0x5F] = 0xF0;
        for (int i = 0; i < 6; ++i) e[0x97 + i] = static_cast<std::uint8_t>(-5 + i);
        e[0x68] = 0x80;
    }
    // What reached the printer, one line per library call, as the golden files hold it.
    static std::string Transcript() {
        std::string text;
        char hex[32];  // the longest line, "eeprom_write XX YY\n", takes 20
        for (const fake::Call& c : Fake().Calls()) {
            if (c.result != 1) continue;
            switch (c.fn) {
                case fake::Fn::SendDataChannel:
                    text += "data " + std::to_string(c.bytes.size());
                    for (std::uint8_t b : c.bytes) std::snprintf(hex, sizeof hex, " %02X", b), text += hex;
                    text += '\n';
                    break;
                case fake::Fn::D4ReadEeprom:
                    std::snprintf(hex, sizeof hex, "eeprom_read %02X\n", c.a), text += hex;
                    break;
                case fake::Fn::D4WriteEeprom:
                    std::snprintf(hex, sizeof hex, "eeprom_write %02X %02X\n", c.a, c.b), text += hex;
                    break;
                case fake::Fn::InquireStatus:
                    text += "status\n";
                    break;
                default:
                    break;
            }
        }
        return text;
    }
    static void ExpectGolden(const std::string& name) {
        const std::string message = vp::CompareWithGolden(SVC_POSITION_ADJUST_GOLDEN_DIR, name, Transcript());
        EXPECT_TRUE(message.empty()) << message;
    }
    static std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
        std::vector<std::uint8_t> v;
        for (int b : list) v.push_back(static_cast<std::uint8_t>(b));
        return v;
    }
    fake::ScriptedHost host;
    ValueFrame frame;
};

// ---- PW sensor ----

TEST_F(PositionAdjust, PwPrintMatchesItsGoldenTranscript) {
    PWAdjust().PWSensorPrintBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The PW adjustment pattern print has completed.");
    ExpectGolden("pw_print.txt");
}

TEST_F(PositionAdjust, PwPrintFlushesBeforeEveryFactoryPacketAndLabelsEvenRowsOnly) {
    ASSERT_EQ(PWAdjust().PrintPattern(JobStream(), RemoteComm(), Factory()), rc::Ok);
    const auto sends = Fake().Sends();
    // Every factory packet goes alone, right after a send that ended a flush (never mid-block).
    int factory = 0;
    for (std::size_t i = 0; i < sends.size(); ++i)
        if (sends[i].size() >= 10 && sends[i][0] == 0x1B && sends[i][1] == 0x7C) {
            ++factory;
            ASSERT_GT(i, 0u);
            EXPECT_LT(sends[i - 1].size(), 1000u) << "packet " << factory << " follows a full block";
        }
    EXPECT_EQ(factory, 1 + 4 + 17 * 4 + 2 + 1);  // D1, the set-up, four per row, the end, D1
    // Labels: nine of them, for -8, -4, ... 24, each 78 bytes ending in CR.
    const std::vector<std::uint8_t> all = Fake().AcceptedBytes();
    const std::string wire(all.begin(), all.end());
    for (int value = -8; value <= 24; value += 4) {
        const std::string label = PwRowLabel(value);
        ASSERT_EQ(label.size(), 78u);
        EXPECT_EQ(label.back(), '\r');
        EXPECT_NE(wire.find(label), std::string::npos) << value;
    }
    EXPECT_EQ(wire.find(PwRowLabel(-6)), std::string::npos);
    EXPECT_EQ(PwRowLabel(-8), "   -8" + std::string(70, ' ') + "-8\r");
    EXPECT_EQ(PwRowLabel(0), "    0" + std::string(71, ' ') + "0\r");
    EXPECT_EQ(PwTopScale().size(), 79u);
    EXPECT_EQ(PwBottomScale().size(), 80u);
    // The side commands: F2 for side 1 carries 0x00, for side 0 0x01.
    const auto packets = Fake().FactorySends();
    EXPECT_EQ(packets[5], Bytes({0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC4, 0x3B, 0x62, 0x04, 0x3B, 0x00, 0x00}));
    EXPECT_EQ(packets[6], Bytes({0x1B, 0x7C, 0x00, 0x06, 0x00, 0x06, 0x16, 0xF2, 0x0D, 0x79, 0x00}));
    EXPECT_EQ(packets[8], Bytes({0x1B, 0x7C, 0x00, 0x06, 0x00, 0x06, 0x16, 0xF2, 0x0D, 0x79, 0x01}));
    EXPECT_EQ(all.back(), 0x0C);
}

TEST_F(PositionAdjust, PwFramePatternIsTwoBlocksWithOnlyANewResolutionBetween) {
    ASSERT_EQ(PwFramePattern(JobStream()), rc::Ok);
    const std::vector<std::uint8_t> all = Fake().AcceptedBytes();
    const std::vector<std::uint8_t> resolutionAndHeader = Bytes(
        {0x1B, 0x28, 0x44, 0x04, 0x00, 0x68, 0x01, 0x02, 0x01, 0x1B, 0x69, 0x00, 0x01, 0x02, 0xD0, 0x02, 0x60, 0x00});
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i + resolutionAndHeader.size() <= all.size(); ++i)
        if (std::equal(resolutionAndHeader.begin(), resolutionAndHeader.end(), all.begin() + static_cast<long>(i)))
            at.push_back(i);
    ASSERT_EQ(at.size(), 2u);
    EXPECT_EQ(at[0], 31u);  // right after the job header
    // The second block starts right where the first one's data ends.
    EXPECT_EQ(std::vector<std::uint8_t>(all.begin() + 18 + 31, all.begin() + static_cast<long>(at[1])),
              std::vector<std::uint8_t>(all.begin() + static_cast<long>(at[1]) + 18, all.end() - 2));
    EXPECT_EQ(std::vector<std::uint8_t>(all.end() - 2, all.end()), Bytes({0x1B, 0x40}));
}

TEST_F(PositionAdjust, PwBusyFactoryCommandIsSentAgainAfterAPause) {
    // The first send (the settings block) goes; the D1 command meets a full buffer twice.
    Fake().SetResultOnCall(fake::Fn::SendDataChannel, 2, 0x2000);
    Fake().SetResultOnCall(fake::Fn::SendDataChannel, 3, 0x2000);
    Fake().SetChannelErrorDetail(51);
    ASSERT_EQ(PWAdjust().PrintPattern(JobStream(), RemoteComm(), Factory()), rc::Ok);
    const auto sends = Fake().Sends();
    EXPECT_EQ(sends[1], sends[2]);
    EXPECT_EQ(sends[1], sends[3]);
    EXPECT_EQ(host.Sleeps(), (std::vector<int>{500, 500}));
}

TEST_F(PositionAdjust, PwFactoryRefusalOtherThanBusyEndsThePrint) {
    Fake().SetResultOnCall(fake::Fn::SendDataChannel, 2, 0x2000);
    Fake().SetChannelErrorDetail(7);
    EXPECT_EQ(PWAdjust().PrintPattern(JobStream(), RemoteComm(), Factory()), rc::Channel);
    EXPECT_EQ(Fake().CallCount(fake::Fn::SendDataChannel), 2);
}

struct EdgeCase {
    const char* edge;
    const char* text;
    bool accepted;
    std::int16_t item;
};

TEST_F(PositionAdjust, PwRangesEachEdgeBothEndsAndOnePast) {
    const EdgeCase cases[] = {
        {"Right", "-8", true, 1},   {"Right", "24", true, 1},  {"Right", "-9", false, 1},   {"Right", "25", false, 1},
        {"Left", "-8", true, 2},    {"Left", "24", true, 2},   {"Left", "-9", false, 2},    {"Left", "25", false, 2},
        {"Top", "-16", true, 3},    {"Top", "16", true, 3},    {"Top", "-17", false, 3},    {"Top", "17", false, 3},
        {"Bottom", "-16", true, 4}, {"Bottom", "16", true, 4}, {"Bottom", "-17", false, 4}, {"Bottom", "17", false, 4},
        {"Top", "x", false, 3},     {"Top", "+5 ", false, 3},  {"Top", "", false, 3},       {"Right", "0x3", false, 1},
    };
    for (const EdgeCase& c : cases) {
        SetUp();
        ValueFrame f;
        const TPPWAdjust::Edge& e = *TPPWAdjust::FindEdge(c.edge);
        f.SetText(e.edit, c.text);
        f.SetChecked(e.checkBox, true);
        PwSensorErrorDetail = 0;
        PWAdjust().PWSensorInputBtnClick(f);
        const std::string what = std::string(c.edge) + "=" + c.text;
        if (c.accepted) {
            EXPECT_EQ(Fake().EepromWrites(), (Writes{{e.address, ByteFromSigned(std::stoi(c.text))}})) << what;
            EXPECT_EQ(f.Memo(), "The PW adjustment value has written properly.") << what;
            EXPECT_EQ(f.AdjustedCell(e.cell), c.text) << what;
        } else {
            EXPECT_TRUE(Fake().EepromWrites().empty()) << what;
            EXPECT_EQ(PwSensorErrorDetail, c.item) << what;
            EXPECT_EQ(f.FocusedField(), e.edit) << what;
            EXPECT_EQ(f.Memo(),
                      e.low == -8 ? "A range of input value is -8 to 24." : "A range of input value is -16 to 16.")
                << what;
            EXPECT_EQ(f.MemoColour(), TextColour::Red) << what;
        }
    }
}

TEST_F(PositionAdjust, PwWritesRightLeftBottomTopThenApplies) {
    for (const TPPWAdjust::Edge& e : TPPWAdjust::Edges()) {
        frame.SetText(e.edit, "2");
        frame.SetChecked(e.checkBox, true);
    }
    frame.SetText("PWSensorHMYUEdit", "-3");
    PWAdjust().PWSensorInputBtnClick(frame);
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x5C, 2}, {0x5E, 2}, {0x5F, 2}, {0x5D, 0xFD}}));
    EXPECT_EQ(
        Fake().FactorySends(),
        (std::vector<std::vector<std::uint8_t>>{Bytes({0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x50, 0xAF, 0x28})}));
    EXPECT_EQ(frame.AdjustedCell("PWSensorTopPnl"), "-3");
}

TEST_F(PositionAdjust, PwRefusedRowKeepsEarlierRowsWrittenAndSendsNoApply) {
    frame.SetText("PWSensorHMXUEdit", "5");
    frame.SetChecked("PWSensorHMXUCheckBox", true);
    frame.SetText("PWSensorHMYDEdit", "40");
    frame.SetChecked("PWSensorHMYDCheckBox", true);
    PWAdjust().PWSensorInputBtnClick(frame);
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x5C, 5}}));
    EXPECT_TRUE(Fake().FactorySends().empty());
    EXPECT_EQ(frame.FocusedField(), "PWSensorHMYDEdit");
    EXPECT_EQ(frame.AdjustedCell("PWSensorRightPnl"), "");
}

TEST_F(PositionAdjust, PwInputWithoutACheckedRowAsksForOne) {
    PWAdjust().PWSensorInputBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "Please select item.");
    EXPECT_EQ(frame.MemoColour(), TextColour::Red);
    EXPECT_TRUE(Fake().Calls().empty());
}

TEST_F(PositionAdjust, PwReadFillsTheFieldsInDecimalAndClearsTheBoxes) {
    frame.SetChecked("PWSensorHMXDCheckBox", true);
    PWAdjust().PWSensorCheckBtnClick(frame);
    EXPECT_EQ(frame.Text("PWSensorHMXUEdit"), "-8");
    EXPECT_EQ(frame.Text("PWSensorHMYUEdit"), "16");
    EXPECT_EQ(frame.Text("PWSensorHMXDEdit"), "24");
    EXPECT_EQ(frame.Text("PWSensorHMYDEdit"), "-16");
    EXPECT_FALSE(frame.Checked("PWSensorHMXDCheckBox"));
    EXPECT_EQ(frame.Memo(), "The PW adjustment value has read properly.");
    ExpectGolden("pw_read.txt");
}

TEST_F(PositionAdjust, PwReadFailureLeavesTheFieldsEmpty) {
    Fake().FailEepromAccess(2);
    PWAdjust().PWSensorCheckBtnClick(frame);
    EXPECT_EQ(frame.Text("PWSensorHMXUEdit"), "");
    EXPECT_EQ(frame.ErrorReports(), 1);
}

TEST_F(PositionAdjust, EditChangeChecksAndClearsItsRow) {
    const TPPWAdjust::Edge& top = *TPPWAdjust::FindEdge("Top");
    frame.SetText(top.edit, "4");
    PWAdjust().EditChange(frame, top);
    EXPECT_TRUE(frame.Checked(top.checkBox));
    frame.SetText(top.edit, "");
    PWAdjust().EditChange(frame, top);
    EXPECT_FALSE(frame.Checked(top.checkBox));
    const TPColorShiftAdjust::Line& d = *TPColorShiftAdjust::FindLine("D");
    frame.SetText(d.edit, "1");
    ColorShiftAdjust().EditChange(frame, d);
    EXPECT_TRUE(frame.Checked(d.checkBox));
    ColorShiftAdjust().Chosen(frame);
    EXPECT_EQ(frame.Text(d.edit), "");
    EXPECT_FALSE(frame.Checked(d.checkBox));
}

// ---- pixel shift ----

TEST_F(PositionAdjust, PixelShiftPrintSendsTheFileUnchangedThenTheFormFeed) {
    PWAdjust();  // nothing else is sent first
    ColorShiftAdjust().ColorShiftPrintBtnClick(frame);
    ASSERT_EQ(frame.Memo(), "The pixel shift pattern print has completed.");
    std::ifstream in(std::string(SVC_DATA_OUTPUT_DIR) + "/gzksen2.tmp", std::ios::binary);
    std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    file.push_back(0x0C);
    EXPECT_EQ(Fake().AcceptedBytes(), file);
    ExpectGolden("pixel_shift_print.txt");
}

TEST_F(PositionAdjust, PixelShiftRangeTestsTheNumberNotItsLowByte) {
    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {{"-5", true},   {"5", true},     {"0", true},    {"-6", false}, {"6", false},
                          {"256", false}, {"-256", false}, {"261", false}, {"x", false},  {"1.5", false}};
    for (const TPColorShiftAdjust::Line& line : TPColorShiftAdjust::Lines())
        for (const Case& c : cases) {
            SetUp();
            ValueFrame f;
            f.SetText(line.edit, c.text);
            f.SetChecked(line.checkBox, true);
            ColorShiftAdjust().ColorShiftInputOKBtnClick(f);
            const std::string what = std::string(1, line.letter) + "=" + c.text;
            if (c.accepted) {
                EXPECT_EQ(Fake().EepromWrites(), (Writes{{line.address, ByteFromSigned(std::stoi(c.text))}})) << what;
                EXPECT_EQ(f.AdjustedCell(line.cell), c.text) << what;
            } else {
                EXPECT_TRUE(Fake().EepromWrites().empty()) << what;
                EXPECT_EQ(PixelShiftErrorDetail, line.errorItem) << what;
                EXPECT_EQ(f.FocusedField(), line.edit) << what;
                EXPECT_EQ(f.Memo(), "A range of input value is -5 to 5.") << what;
            }
        }
}

TEST_F(PositionAdjust, PixelShiftWritesOnlyTheCheckedLinesWithoutApplying) {
    frame.SetText("ColorShiftDInputEdit", "-5");
    frame.SetChecked("ColorShiftDInputCheckBox", true);
    frame.SetText("ColorShiftAInputEdit", "3");  // not checked
    ColorShiftAdjust().ColorShiftInputOKBtnClick(frame);
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x9A, 0xFB}}));
    // The transcript the golden files compare holds the write whole.
    EXPECT_NE(Transcript().find("eeprom_write 9A FB\n"), std::string::npos) << Transcript();
    EXPECT_TRUE(Fake().FactorySends().empty());
    EXPECT_EQ(frame.AdjustedCells().size(), 1u);
    EXPECT_EQ(frame.AdjustedCell("ColorShiftDPnl"), "-5");
    EXPECT_EQ(frame.Memo(), "The pixel shift adjustment value has written properly.");
}

TEST_F(PositionAdjust, PixelShiftReadShowsSignedValues) {
    frame.SetChecked("ColorShiftCInputCheckBox", true);
    ColorShiftAdjust().ColorShiftReadBtnClick(frame);
    EXPECT_EQ(frame.Text("ColorShiftAInputEdit"), "-5");
    EXPECT_EQ(frame.Text("ColorShiftFInputEdit"), "0");
    EXPECT_FALSE(frame.Checked("ColorShiftCInputCheckBox"));
    EXPECT_EQ(frame.Memo(), "The pixel shift adjustment value has read properly.");
    ExpectGolden("pixel_shift_read.txt");
}

// ---- first dot position ----

TEST_F(PositionAdjust, FirstDotDisplayAtTheEdgesAndBeyond) {
    struct Case {
        int value;
        std::string edit;
        int left, right;
        const char* mm;
    };
    const Case cases[] = {{-72, "-72", 0, 100, "-0.6350 mm"}, {0, "0", 50, 50, "0.0000 mm"},
                          {72, "72", 100, 0, "0.6350 mm"},    {128, "72", 100, 0, "0.6350 mm"},
                          {71, "71", 98, 2, "0.6262 mm"},     {-4, "-4", 48, 52, "-0.0353 mm"},
                          {-200, "-72", 0, 100, "-0.6350 mm"}};
    for (const Case& c : cases) {
        FirstDotSetValue(frame, c.value);
        EXPECT_EQ(frame.Text("LandMarginInputEdit"), c.edit) << c.value;
        EXPECT_EQ(frame.Position("LeftMarginGauge"), c.left) << c.value;
        EXPECT_EQ(frame.Position("RightMarginGauge"), c.right) << c.value;
        EXPECT_EQ(frame.Text("LandMarginInputRealValuePnl"), c.mm) << c.value;
    }
}

TEST_F(PositionAdjust, FirstDotStepsStopAtTheEdges) {
    frame.SetText("LandMarginInputEdit", "70");
    SteptoRightBitBtnClick(frame);
    EXPECT_EQ(frame.Text("LandMarginInputEdit"), "72");
    frame.SetText("LandMarginInputEdit", "-70");
    SteptoLeftBitBtnClick(frame);
    EXPECT_EQ(frame.Text("LandMarginInputEdit"), "-72");
    CenteringBitBtnClick(frame);
    EXPECT_EQ(frame.Text("LandMarginInputEdit"), "0");
    GotoRightEdgeBitBtnClick(frame);
    EXPECT_EQ(frame.Position("LeftMarginGauge"), 100);
    GotoLeftEdgeBitBtnClick(frame);
    EXPECT_EQ(frame.Position("RightMarginGauge"), 100);
    // An empty field (a failed read) steps from the centre.
    frame.SetText("LandMarginInputEdit", "");
    SteptoRightBitBtnClick(frame);
    EXPECT_EQ(frame.Text("LandMarginInputEdit"), "4");
}

TEST_F(PositionAdjust, FirstDotReadShowsTheValueReadAndTheDisplayClamped) {
    for (auto [byte, edit, left] : {std::tuple{0x80, "128", 100}, std::tuple{0xB8, "-72", 0},
                                    std::tuple{0x48, "72", 100}, std::tuple{0x00, "0", 50}}) {
        SetUp();
        ValueFrame f;
        Fake().Eeprom()[0x68] = static_cast<std::uint8_t>(byte);
        LandMarginCheckBtnClick(f);
        EXPECT_EQ(f.Text("LandMarginInputEdit"), edit);
        EXPECT_EQ(f.Position("LeftMarginGauge"), left);
        EXPECT_EQ(f.Memo(), "The first dot position adjustment value has read properly.");
    }
    // 128 read, then Input: refused, focus on the edit.
    SetUp();
    LandMarginCheckBtnClick(frame);
    Fake().ClearCalls();
    LandMarginInputBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "A range of input value is -72 to 72.");
    EXPECT_EQ(frame.FocusedField(), "LandMarginInputEdit");
    EXPECT_TRUE(Fake().Calls().empty());
}

TEST_F(PositionAdjust, FirstDotInputRangeAndNumbers) {
    struct Case {
        const char* text;
        bool accepted;
    };
    for (const Case& c : {Case{"-72", true}, Case{"72", true}, Case{"-1", true}, Case{"-73", false}, Case{"73", false},
                          Case{"x", false}, Case{"", false}, Case{" 5", false}}) {
        SetUp();
        ValueFrame f;
        f.SetText("LandMarginInputEdit", c.text);
        LandMarginInputBtnClick(f);
        if (c.accepted) {
            EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x68, ByteFromSigned(std::stoi(c.text))}})) << c.text;
            EXPECT_EQ(Fake().FactorySends().size(), 1u) << c.text;
            EXPECT_EQ(f.Memo(), "The first dot position adjustment value has written properly.");
        } else {
            EXPECT_TRUE(Fake().Calls().empty()) << c.text;
            EXPECT_EQ(f.Memo(), "A range of input value is -72 to 72.") << c.text;
        }
    }
}

TEST_F(PositionAdjust, FirstDotFailedWriteSendsNoApply) {
    Fake().FailEepromAccess(1);
    frame.SetText("LandMarginInputEdit", "10");
    LandMarginInputBtnClick(frame);
    EXPECT_TRUE(Fake().FactorySends().empty());
    EXPECT_EQ(frame.ErrorReports(), 1);
}

TEST_F(PositionAdjust, FirstDotPatternIsOneUnitForAllLines) {
    LandMarginPrintBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The first dot position pattern print has completed.");
    std::vector<std::uint8_t> expected =
        Bytes({0x1B, 0x40, 0x1B, 0x28, 0x47, 0x01, 0x00, 0x01, 0x1B, 0x28, 0x55, 0x01, 0x00, 0x0A, 0x1B, 0x55,
               0x01, 0x1B, 0x28, 0x65, 0x02, 0x00, 0x00, 0x12, 0x1B, 0x28, 0x4B, 0x02, 0x00, 0x00, 0x02});
    for (int b : {0x1B, 0x28, 0x44, 0x04, 0x00, 0xA0, 0x05, 0x08, 0x04, 0x1B, 0x69, 0x00,
                  0x01, 0x02, 0x01, 0x00, 0x60, 0x00, 0xA1, 0xC0, 0x1B, 0x40, 0x0C})
        expected.push_back(static_cast<std::uint8_t>(b));
    EXPECT_EQ(Fake().AcceptedBytes(), expected);
    ExpectGolden("first_dot_print.txt");
}

// ---- cut position ----

TEST_F(PositionAdjust, CutInputNeedsAPrintFirstAndEachPrintServesOneWrite) {
    frame.SetItemIndex("CutPosAdjustInputComboBox", 8);
    CutPosAdjustInputBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "Please try this function after perform the pattern print.");
    EXPECT_TRUE(Fake().Calls().empty());

    CutPosAdjustPrintBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The cut position adjustment pattern print has completed.");
    EXPECT_EQ(frame.Flag(WindowFlag::CutPatternPrinted), 1);
    std::ifstream in(std::string(SVC_DATA_OUTPUT_DIR) + "/cutpos.prn", std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(Fake().AcceptedBytes(), file);  // nothing after the file: it ends and cuts itself
    ExpectGolden("cut_print.txt");

    Fake().ClearCalls();
    CutPosAdjustInputBtnClick(frame);
    EXPECT_EQ(Fake().AcceptedBytes(),
              Bytes({0x1B, 0x28, 0x52, 0x08, 0x00, 0x00, 0x52, 0x45, 0x4D, 0x4F, 0x54, 0x45, 0x31, 0x44, 0x44,
                     0x05, 0x00, 0x00, 0x10, 0x00, 0x00, 0x02, 0x53, 0x56, 0x00, 0x00, 0x1B, 0x00, 0x00, 0x00}));
    EXPECT_EQ(frame.Flag(WindowFlag::CutPatternPrinted), 0);
    Fake().ClearCalls();
    CutPosAdjustInputBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "Please try this function after perform the pattern print.");
    EXPECT_TRUE(Fake().Calls().empty());
}

TEST_F(PositionAdjust, CutFailedInputKeepsTheFlagSoItCanBeRepeated) {
    frame.SetFlag(WindowFlag::CutPatternPrinted, 1);
    frame.SetItemIndex("CutPosAdjustInputComboBox", 16);
    Fake().SetResultOnCall(fake::Fn::SendDataChannel, 1, 0x2000);
    Fake().SetChannelErrorDetail(7);
    CutPosAdjustInputBtnClick(frame);
    EXPECT_EQ(frame.ErrorReports(), 1);
    EXPECT_EQ(frame.Flag(WindowFlag::CutPatternPrinted), 1);
    Fake().ClearCalls();
    CutPosAdjustInputBtnClick(frame);
    const auto bytes = Fake().AcceptedBytes();
    ASSERT_GE(bytes.size(), 30u);
    EXPECT_EQ(bytes[bytes.size() - 30 + 20], 0xC0);  // item "17": -64
    EXPECT_EQ(frame.Flag(WindowFlag::CutPatternPrinted), 0);
}

// A print file in the working directory wins over the shipped one; one that
// is no print job (here a note left under the name) used to be sent to the
// printer and reported as a completed print.
TEST_F(PositionAdjust, APrintFileThatIsNoJobIsRefusedWithNothingSent) {
    const auto dir = std::filesystem::temp_directory_path() / ("svc_bad_print_files_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const char* name : {"gzksen2.tmp", "cutpos.prn"})
        std::ofstream(dir / name) << "pattern files are in share/svcadjust\n";
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir);

    ColorShiftAdjust().ColorShiftPrintBtnClick(frame);
    const std::string pixelShiftMemo = frame.Memo();
    const auto pixelShiftSent = Fake().AcceptedBytes();
    CutPosAdjustPrintBtnClick(frame);
    const std::string cutMemo = frame.Memo();

    std::filesystem::current_path(before);
    std::filesystem::remove_all(dir);
    EXPECT_EQ(pixelShiftMemo, "Cannot read data from file.");
    EXPECT_TRUE(pixelShiftSent.empty()) << "not even the form feed";
    EXPECT_EQ(cutMemo, "Cannot read data from file.");
    EXPECT_TRUE(Fake().AcceptedBytes().empty());
    EXPECT_EQ(frame.Flag(WindowFlag::CutPatternPrinted), 0) << "no print, no input";
}

TEST_F(PositionAdjust, CutValuesOfTheListItems) {
    EXPECT_EQ(cutpos::ValueOfIndex(0), 64);
    EXPECT_EQ(cutpos::ValueOfIndex(8), 0);
    EXPECT_EQ(cutpos::ValueOfIndex(16), -64);
}

TEST_F(PositionAdjust, PrintFilesAreTheSameFromBuildToBuild) {
    // The generators run again into a scratch folder give the same bytes.
    const auto dir = std::filesystem::temp_directory_path() / ("svc_print_files_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (auto [generator, name] :
         {std::pair{"make_gzksen2_tmp", "gzksen2.tmp"}, std::pair{"make_cutpos_prn", "cutpos.prn"}}) {
        const std::string out = (dir / name).string();
        const std::string command = std::string(SVC_BIN_DIR) + "/" + generator + " " + out;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        auto read = [](const std::string& path) {
            std::ifstream in(path, std::ios::binary);
            return std::vector<char>{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        };
        EXPECT_EQ(read(out), read(std::string(SVC_DATA_OUTPUT_DIR) + "/" + name)) << name;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
