// Head cleaning, ink charge and the refurbishment for DOA on the scripted
// clock: the recording fake plays the printer, status record by status record.
#include "service/VexMaintenance.h"

#include "eeprom/VexEeprom.h"
#include "link/testing/FakeOutside.h"
#include "service/ValueFrame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace svc {
namespace {

using fake::Fake;
using fake::Fn;
using fake::MakeStatus;
using fake::ScriptedHost;
using Bytes = std::vector<std::uint8_t>;

constexpr Result kChannelFailure = 0x2000;

fake::StatusBytes StateRecord(std::uint8_t s, std::uint8_t error = 0) { return MakeStatus(s, error); }

// Index of the first recorded call of `fn` at or after `from`; calls.size() when none.
std::size_t NextCall(Fn fn, std::size_t from = 0) {
    const auto& calls = Fake().Calls();
    for (std::size_t i = from; i < calls.size(); ++i)
        if (calls[i].fn == fn) return i;
    return calls.size();
}

bool IsFactoryCall(const fake::Call& c) {
    return c.fn == Fn::SendDataChannel && c.bytes.size() >= 10 && c.bytes[1] == 0x7C;
}

class MaintenanceTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }

    ValueFrame frame;
    ScriptedHost host;
};

// ---- head cleaning and ink charge ----

struct CleaningCase {
    std::uint8_t kind;
    void (TPMaintenance::*click)(FeatureFrame&);
    const char* running;
    const char* done;
};

class CleaningTest : public MaintenanceTest, public ::testing::WithParamInterface<CleaningCase> {};

TEST_P(CleaningTest, OneCommandThenPollsOnceASecondUntilReady) {
    const CleaningCase& c = GetParam();
    // Ready to start; then cleaning for two polls, then ready again.
    Fake().QueueStatus({StateRecord(4), StateRecord(7), StateRecord(7), StateRecord(4)});
    std::vector<std::string> memoWhileWaiting;
    host.OnSleep([&](int) { memoWhileWaiting.push_back(frame.Memo()); });

    (Maintenance().*c.click)(frame);

    ASSERT_EQ(Fake().FactorySends().size(), 1u);
    EXPECT_EQ(Fake().FactorySends()[0], (Bytes{0x1B, 0x7C, 0x00, 0x06, 0x00, 0x06, 0x16, 0x84, 0x7B, 0x42, c.kind}));
    EXPECT_EQ(Fake().CallCount(Fn::InquireStatus), 4);
    EXPECT_EQ(host.Sleeps(), (std::vector<int>{1000, 1000}));
    // While the printer cleans the window says what runs, and stays busy.
    EXPECT_EQ(memoWhileWaiting, (std::vector<std::string>{c.running, c.running}));
    EXPECT_EQ(frame.Memo(), c.done);
    EXPECT_EQ(frame.MemoColour(), TextColour::Black);
    EXPECT_FALSE(frame.WindowEnabled());  // until the disable timer ticks
    frame.TimerTick();
    EXPECT_TRUE(frame.WindowEnabled());
    EXPECT_EQ(frame.ErrorReports(), 0);
    EXPECT_EQ(frame.Flag(WindowFlag::CarriageAtHome), 1);
    EXPECT_TRUE(Fake().EepromWrites().empty());
}

TEST_P(CleaningTest, BusyPrinterGetsNothingUntilItIsReady) {
    const CleaningCase& c = GetParam();
    Fake().QueueStatus({StateRecord(2), StateRecord(3), StateRecord(4), StateRecord(4)});
    (Maintenance().*c.click)(frame);
    const auto& calls = Fake().Calls();
    std::size_t firstFactory = 0;
    while (firstFactory < calls.size() && !IsFactoryCall(calls[firstFactory])) ++firstFactory;
    ASSERT_LT(firstFactory, calls.size());
    // The third inquiry (ready) comes before the command.
    std::size_t inquiry = NextCall(Fn::InquireStatus);
    inquiry = NextCall(Fn::InquireStatus, inquiry + 1);
    inquiry = NextCall(Fn::InquireStatus, inquiry + 1);
    EXPECT_LT(inquiry, firstFactory);
    EXPECT_EQ(frame.Memo(), c.done);
}

TEST_P(CleaningTest, ChannelFailureWhileCleaningIsReportedInsteadOfTheCompletion) {
    const CleaningCase& c = GetParam();
    Fake().QueueStatus({StateRecord(4), StateRecord(7)});
    Fake().SetResultOnCall(Fn::InquireStatus, 3, kChannelFailure);
    (Maintenance().*c.click)(frame);
    EXPECT_EQ(frame.MemoLines()[0], "Communication error occurred.");
    EXPECT_EQ(frame.MemoColour(), TextColour::Red);
    EXPECT_EQ(frame.ErrorReports(), 1);  // reported once
    EXPECT_TRUE(frame.WindowEnabled());
    EXPECT_EQ(Fake().CallCount(Fn::InquireStatus), 3);
}

TEST_P(CleaningTest, PrinterErrorDuringTheCycleIsReported) {
    const CleaningCase& c = GetParam();
    Fake().QueueStatus({StateRecord(4), StateRecord(7), StateRecord(0, 5)});
    (Maintenance().*c.click)(frame);
    EXPECT_EQ(frame.MemoLines(),
              (std::vector<std::string>{"Ink out error.", "Clear the error and click the [Get Status] button."}));
    EXPECT_EQ(frame.ErrorReports(), 1);
}

TEST_P(CleaningTest, RefusedCommandEndsBeforeAnyWait) {
    const CleaningCase& c = GetParam();
    Fake().SetResult(Fn::SendDataChannel, kChannelFailure);
    (Maintenance().*c.click)(frame);
    EXPECT_EQ(frame.MemoLines()[0], "Communication error occurred.");
    EXPECT_EQ(Fake().CallCount(Fn::InquireStatus), 1);  // only the wait before the start
    EXPECT_TRUE(host.Sleeps().empty());
}

TEST_P(CleaningTest, PrinterBeforeInitialChargeSendsNothing) {
    const CleaningCase& c = GetParam();
    Fake().SetStatus(StateRecord(8));
    (Maintenance().*c.click)(frame);
    EXPECT_TRUE(Fake().FactorySends().empty());
    EXPECT_EQ(frame.ErrorReports(), 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CleaningTest,
                         ::testing::Values(CleaningCase{3, &TPMaintenance::CleaningOKBtnClick, "Cleaning now...",
                                                        "The head cleaning has completed."},
                                           CleaningCase{12, &TPMaintenance::InkChargeOKBtnClick, "Charging now...",
                                                        "The ink charge has completed."}),
                         [](const auto& info) {
                             return info.param.kind == 3 ? std::string("HeadCleaning") : std::string("InkCharge");
                         });

// ---- refurbishment for DOA ----

const Bytes kStartExchange{0x1B, 0x7C, 0x00, 0x16, 0x00, 0x06, 0x16, 0x82, 0x7D, 0x41, 0x00, 0x00, 0xA6, 0x0C,
                           0x01, 0x00, 0x00, 0xA6, 0x0C, 0x05, 0x00, 0x00, 0xA6, 0x0C, 0x05, 0xFF, 0x08};

std::vector<std::pair<std::uint8_t, std::uint8_t>> AsPairs(const WriteSequence& writes) {
    std::vector<std::pair<std::uint8_t, std::uint8_t>> out;
    for (const EepWrite& w : writes) out.emplace_back(w.address, w.value);
    return out;
}

class DoaTest : public MaintenanceTest {
protected:
    // What the memo showed at each wait, and the shown panel then.
    struct Moment {
        int ms;
        std::vector<std::string> memo;
        std::string panel;
        TextColour colour;
    };
    void Watch() {
        host.OnSleep([this](int ms) {
            moments.push_back({ms, frame.MemoLines(), frame.ShownPanel(), frame.MemoColour()});
        });
    }
    std::vector<Moment> moments;
};

TEST_F(DoaTest, WholeSequenceForTheWorldModel) {
    frame.SetModelCode(kModel4100);
    // Ready at the start; printing, then cleaning (the exchange); the
    // technician's three steps (two polls); ready for the reset; still on at
    // the first power-off box, powering down at the second.
    Fake().QueueStatus({StateRecord(4), StateRecord(3), StateRecord(7), StateRecord(7), StateRecord(7), StateRecord(4),
                        StateRecord(4), StateRecord(4), StateRecord(4), StateRecord(2)});
    Watch();

    Maintenance().ExchangeSequence1PnlClick(frame);

    ASSERT_EQ(Fake().FactorySends().size(), 1u);
    EXPECT_EQ(Fake().FactorySends()[0], kStartExchange);
    EXPECT_EQ(Fake().EepromWrites(), AsPairs(DeliverySettingWrites(kModel4100)));
    EXPECT_EQ(Fake().EepromWrites().back(), (std::pair<std::uint8_t, std::uint8_t>{0xE0, 0x00}));

    ASSERT_EQ(host.Boxes().size(), 3u);
    for (const auto& box : host.Boxes()) {
        EXPECT_EQ(box.caption, "Information");
        EXPECT_EQ(box.icon, BoxIcon::Information);
        EXPECT_EQ(box.buttons, BoxButtons::Ok);
        EXPECT_EQ(box.owner, BoxOwner::MainWindow);
    }
    EXPECT_EQ(host.Boxes()[0].text, "Trun off the printer. Don't disconnect AC cable.");
    EXPECT_EQ(host.Boxes()[1].text, "Trun off the printer. Don't disconnect AC cable.");
    EXPECT_EQ(host.Boxes()[2].text, "Disconnect AC cable.");

    // Waits: one before the cleaning state shows, two while the technician
    // works, then the power-off phase: a second after each box, five seconds
    // of powering down and the countdown.
    std::vector<int> expected{1000, 1000, 1000, 1000, 1000, 5000};
    expected.insert(expected.end(), 10, 1000);
    EXPECT_EQ(host.Sleeps(), expected);

    // During the exchange: the second page, the kept text in blue.
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(moments[i].panel, kExchangeSecondPanel);
        EXPECT_EQ(moments[i].memo,
                  (std::vector<std::string>{"Performing the transportion liquid exchange function now."}));
        EXPECT_EQ(moments[i].colour, TextColour::Blue);
    }
    EXPECT_EQ(moments[5].memo, (std::vector<std::string>{"Please wait...", "Don't disconnect AC cable."}));
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(moments[6 + n].memo,
                  (std::vector<std::string>{"Please wait...", "Don't disconnect AC cable.", std::to_string(9 - n)}));

    // The window closed without ending the channel, and the flag is cleared by the close.
    EXPECT_TRUE(frame.Closed());
    EXPECT_EQ(Fake().CallCount(Fn::D4Termination), 0);
    EXPECT_EQ(Fake().CallCount(Fn::PortCloseByOsSw), 0);
    EXPECT_EQ(frame.Flag(WindowFlag::ExchangeStarted), 0);
    EXPECT_EQ(frame.ErrorReports(), 0);
}

TEST_F(DoaTest, TrnVlkModelEndsWithTheModelName) {
    frame.SetModelCode(kModel4200);
    Fake().QueueStatus({StateRecord(4), StateRecord(7), StateRecord(4)});
    Fake().SetResultOnCall(Fn::InquireStatus, 6, 0x1000);  // switched off before the first OK
    Maintenance().ExchangeSequence1PnlClick(frame);
    const auto writes = Fake().EepromWrites();
    EXPECT_EQ(writes, AsPairs(DeliverySettingWrites(kModel4200)));
    const std::string name = "KORVA,Corvid Lumen 4200";
    ASSERT_GE(writes.size(), name.size() + 2);
    const std::size_t first = writes.size() - name.size() - 2;
    EXPECT_EQ(writes[first], (std::pair<std::uint8_t, std::uint8_t>{0xE0, 0x02}));
    for (std::size_t i = 0; i < name.size(); ++i)
        EXPECT_EQ(writes[first + 1 + i], (std::pair<std::uint8_t, std::uint8_t>{static_cast<std::uint8_t>(0xE2 + i),
                                                                                static_cast<std::uint8_t>(name[i])}));
    EXPECT_EQ(writes.back(), (std::pair<std::uint8_t, std::uint8_t>{0xF9, 0x00}));
    EXPECT_TRUE(frame.Closed());
}

TEST_F(DoaTest, CleaningStateAtTheFirstPollNeedsNoWait) {
    Fake().QueueStatus({StateRecord(4), StateRecord(7), StateRecord(4)});
    Fake().SetResultOnCall(Fn::InquireStatus, 6, 0x1000);
    Watch();
    Maintenance().ExchangeSequence1PnlClick(frame);
    // The polls for the cleaning state took no wait; the printer that stopped
    // answering after the first box goes straight to the countdown.
    std::vector<int> expected{1000};
    expected.insert(expected.end(), 10, 1000);
    EXPECT_EQ(host.Sleeps(), expected);
    ASSERT_EQ(host.Boxes().size(), 2u);
    EXPECT_EQ(moments[1].memo, (std::vector<std::string>{"Please wait...", "Don't disconnect AC cable.", "9"}));
    EXPECT_TRUE(frame.Closed());
    EXPECT_EQ(frame.Memo(), "");
}

TEST_F(DoaTest, PrinterThatNeverStartsCleaningGivesUpAfterFivePolls) {
    Fake().SetStatus(StateRecord(4));
    Maintenance().ExchangeSequence1PnlClick(frame);
    // One inquiry of the busy-state wait, then exactly five polls.
    EXPECT_EQ(Fake().CallCount(Fn::InquireStatus), 6);
    EXPECT_EQ(host.Sleeps(), (std::vector<int>{1000, 1000, 1000, 1000}));
    EXPECT_EQ(frame.MemoLines(), (std::vector<std::string>{"Communication error occurred.",
                                                           "Restart the printer and click the [Get Status] button."}));
    EXPECT_TRUE(Fake().EepromWrites().empty());
    EXPECT_TRUE(host.Boxes().empty());
    EXPECT_FALSE(frame.Closed());
    // The flag stays: closing the window now leaves the channel alone.
    EXPECT_EQ(frame.Flag(WindowFlag::ExchangeStarted), 1);
    frame.CloseMainWindow();
    EXPECT_EQ(Fake().CallCount(Fn::D4Termination), 0);
    EXPECT_EQ(frame.Flag(WindowFlag::ExchangeStarted), 0);
}

TEST_F(DoaTest, FailuresOnTheWayStopTheSequence) {
    {
        SCOPED_TRACE("printer before its initial ink charge: nothing starts, the flag stays clear");
        Fake().Reset();
        ValueFrame f;
        Fake().SetStatus(StateRecord(8));
        Maintenance().ExchangeSequence1PnlClick(f);
        EXPECT_TRUE(Fake().FactorySends().empty());
        EXPECT_EQ(f.Flag(WindowFlag::ExchangeStarted), 0);
        EXPECT_EQ(f.ErrorReports(), 1);
    }
    {
        SCOPED_TRACE("the start command is refused: the flag is already set");
        Fake().Reset();
        ValueFrame f;
        Fake().SetResult(Fn::SendDataChannel, kChannelFailure);
        Maintenance().ExchangeSequence1PnlClick(f);
        EXPECT_EQ(f.Flag(WindowFlag::ExchangeStarted), 1);
        EXPECT_EQ(f.MemoLines()[0], "Communication error occurred.");
        EXPECT_EQ(Fake().CallCount(Fn::InquireStatus), 1);
    }
    {
        SCOPED_TRACE("the status cannot be read while polling");
        Fake().Reset();
        ValueFrame f;
        Fake().SetResultOnCall(Fn::InquireStatus, 3, 0x1000);
        Fake().QueueStatus({StateRecord(4), StateRecord(3)});
        Maintenance().ExchangeSequence1PnlClick(f);
        EXPECT_EQ(Fake().CallCount(Fn::InquireStatus), 3);
        EXPECT_EQ(f.ErrorReports(), 1);
        EXPECT_TRUE(Fake().EepromWrites().empty());
    }
    {
        SCOPED_TRACE("a printer error during the exchange: no delivery reset");
        Fake().Reset();
        ValueFrame f;
        Fake().QueueStatus({StateRecord(4), StateRecord(7), StateRecord(7), StateRecord(0, 4)});
        Maintenance().ExchangeSequence1PnlClick(f);
        EXPECT_EQ(f.MemoLines()[0], "Paper jam error.");
        EXPECT_EQ(f.ErrorReports(), 1);
        EXPECT_TRUE(Fake().EepromWrites().empty());
        EXPECT_FALSE(f.Closed());
    }
    {
        SCOPED_TRACE("the tenth EEPROM write fails: nine stay written, no power-off prompt");
        Fake().Reset();
        ValueFrame f;
        Fake().QueueStatus({StateRecord(4), StateRecord(7), StateRecord(4)});
        Fake().FailEepromAccess(10);
        Maintenance().ExchangeSequence1PnlClick(f);
        EXPECT_EQ(Fake().EepromWrites().size(), 9u);
        EXPECT_EQ(f.MemoLines()[0], "Communication error occurred.");
        EXPECT_TRUE(host.Boxes().empty());
        EXPECT_FALSE(f.Closed());
    }
}

TEST_F(DoaTest, DeliveryResetWritesTheWholeMapInOrder) {
    ASSERT_EQ(Maintenance().ResetToDeliverySetting(kModel4100), rc::Ok);
    const auto writes = Fake().EepromWrites();
    ASSERT_GE(writes.size(), 4u);
    EXPECT_EQ(writes[0], (std::pair<std::uint8_t, std::uint8_t>{0x02, 0x10}));
    EXPECT_EQ(writes[1], (std::pair<std::uint8_t, std::uint8_t>{0x03, 0x01}));
    EXPECT_EQ(writes[2], (std::pair<std::uint8_t, std::uint8_t>{0x04, 0x00}));
    // 12 + 4 + 4 + 4 + 4 + 13 + 13 + 1 + 1 + 8 + 7 + 1 + 1 zeroes, then 49, 6A, 6B, A7 and E0.
    EXPECT_EQ(writes.size(), 2u + 73u + 5u);
    EXPECT_EQ(Fake().Eeprom()[0x49], 0x01);
    EXPECT_EQ(Fake().Eeprom()[0xA7], 0x98);
}

}  // namespace
}  // namespace svc
