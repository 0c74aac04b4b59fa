#include "vprinter/Printer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

#include "chanlink/PrinterEndpoint.h"
#include "vprinter/DirectTransport.h"

namespace vp {
namespace {

using ::testing::ElementsAre;

Printer::Options SmallBuffer(std::size_t capacity = 4000, std::uint32_t speed = 1000) {
    Printer::Options o;
    o.bufferCapacity = capacity;
    o.bytesPerSecond = speed;
    return o;
}

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first = 0) {
    std::vector<std::uint8_t> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

// Bytes 14-27 of the status record.
std::vector<std::uint8_t> InkField(const StatusRecord& r) { return {r.begin() + 14, r.begin() + 28}; }

TEST(StatusRecord, ReportsEachStateAndErrorCode) {
    Printer p(SmallBuffer(), Eeprom::Factory(1));
    auto record = p.Status();
    EXPECT_EQ(record[0], 4);
    EXPECT_EQ(record[1], 0);

    p.SetStuckBusy(true);
    EXPECT_EQ(p.Status()[0], 2);
    for (std::uint8_t code : {0, 1, 3, 4, 5, 6, 7, 16, 17, 18, 28, 29, 30}) {
        p.InjectError(code);
        record = p.Status();
        EXPECT_EQ(record[0], 0) << "an error outranks stuck busy";
        EXPECT_EQ(record[1], code);
    }
    p.ClearError();
    EXPECT_EQ(p.Status()[0], 2);
    p.SetStuckBusy(false);
    p.HoldState(kStateCleaning);
    EXPECT_EQ(p.Status()[0], 7);
    p.HoldState(kStateBeforeInkCharge);
    EXPECT_EQ(p.Status()[0], 8);
    EXPECT_EQ(p.Status()[1], 0);
    p.HoldState(std::nullopt);

    const std::vector<std::uint8_t> data = Bytes(10);
    p.ChannelServices().AcceptData(data.data(), data.size());
    EXPECT_EQ(p.Status()[0], 3) << "data waiting to be printed";
}

TEST(StatusRecord, FillsTheChannelRecordWithTheSameBytes) {
    Printer p(SmallBuffer(), Eeprom::Factory(1));
    p.InjectError(6);
    std::vector<std::uint8_t> record(52, 0xCC);
    p.ChannelServices().FillStatus(record.data(), record.size());
    const StatusRecord expected = p.Status();
    EXPECT_TRUE(std::equal(record.begin(), record.end(), expected.begin()));
    // Bytes the status does not use are zero, not left over.
    EXPECT_EQ(record[2], 0);
    EXPECT_EQ(record[51], 0);
}

TEST(InkCodes, AreHexDigitsWithTheHighDigitAtTheHigherAddress) {
    Printer p(SmallBuffer(), Eeprom::Factory(1));
    const int levels[kInkCount] = {75, 100, 0, 9, 10, 64, 255};
    for (int ink = 0; ink < kInkCount; ++ink) p.SetInkLevel(ink, levels[ink]);
    EXPECT_THAT(InkField(p.Status()), ElementsAre('B', '4',    // black 75 = 0x4B
                                                  '4', '6',    // cyan 100 = 0x64
                                                  '0', '0',    // magenta 0
                                                  '9', '0',    // yellow 9
                                                  'A', '0',    // light cyan 10
                                                  '0', '4',    // light magenta 64 = 0x40
                                                  '4', '6'));  // gray: levels stop at 100
    EXPECT_EQ(p.InkCode(kBlack), 0x3442);
}

TEST(InkCodes, ReportTheSpecialCodesOfSlotsWithoutALevel) {
    Printer p(SmallBuffer(), Eeprom::Factory(1));
    p.SetInkCondition(kBlack, InkCondition::Missing);
    p.SetInkCondition(kCyan, InkCondition::Unreadable);
    p.SetInkCondition(kMagenta, InkCondition::WriteFailed);
    p.SetInkCondition(kYellow, InkCondition::Incompatible);
    EXPECT_EQ(p.InkCode(kBlack), 0x4E41);
    EXPECT_EQ(p.InkCode(kCyan), 0x5245);
    EXPECT_EQ(p.InkCode(kMagenta), 0x5745);
    EXPECT_EQ(p.InkCode(kYellow), 0x4349);
    const auto field = InkField(p.Status());
    EXPECT_THAT(std::vector<std::uint8_t>(field.begin(), field.begin() + 8),
                ElementsAre('A', 'N', 'E', 'R', 'E', 'W', 'I', 'C'));
    // Ink the engine uses (a cleaning drains every colour) does not bring a
    // missing cartridge back; putting one in does.
    p.SetInkLevel(kBlack, 50);
    EXPECT_EQ(p.InkCode(kBlack), 0x4E41);
    p.SetInkCondition(kBlack, InkCondition::Level);
    EXPECT_EQ(p.InkCode(kBlack), 0x3332);
}

TEST(InputBuffer, FillsUpDrainsAtItsSpeedAndRecovers) {
    Printer p(SmallBuffer(4000, 1000), Eeprom::Factory(1));
    d4::PrinterServices& s = p.ChannelServices();
    const std::vector<std::uint8_t> block = Bytes(1000);
    for (int i = 0; i < 4; ++i) {
        ASSERT_GE(s.DataSpace(), block.size());
        s.AcceptData(block.data(), block.size());
    }
    EXPECT_EQ(s.DataSpace(), 0u);
    EXPECT_EQ(p.counters().noSpaceAnswers, 1u);

    p.Advance(250);  // 1000 B/s: a quarter second makes room for 250 bytes
    EXPECT_EQ(s.DataSpace(), 250u);
    EXPECT_EQ(p.State(), kStatePrinting);
    p.Advance(3750);
    EXPECT_EQ(s.DataSpace(), 4000u);
    EXPECT_EQ(p.State(), kStateReady);
    EXPECT_EQ(p.counters().dataAccepted, 4000u);
    EXPECT_EQ(p.counters().dataDrained, 4000u);
    ASSERT_EQ(p.ReceivedData().size(), 4000u);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), p.ReceivedData().end() - 1000));
}

TEST(InputBuffer, KeepsFractionsOfABytePerStepAndSavesNothingUpWhileIdle) {
    Printer p(SmallBuffer(4000, 3), Eeprom::Factory(1));
    p.Advance(60000);  // idle time earns no printing ahead
    const std::vector<std::uint8_t> data = Bytes(100);
    p.ChannelServices().AcceptData(data.data(), data.size());
    for (int i = 0; i < 100; ++i) p.Advance(10);  // 3 B/s over 1 s in 10 ms steps
    EXPECT_EQ(p.Buffered(), 97u);
    p.Advance(59);
    EXPECT_EQ(p.Buffered(), 97u);
    p.Advance(1000);
    EXPECT_EQ(p.Buffered(), 94u);
}

TEST(InputBuffer, KeepsOnlyTheNewestReceivedData) {
    Printer::Options o = SmallBuffer(4000, 100000);
    o.receivedLogLimit = 1500;
    Printer p(o, Eeprom::Factory(1));
    const std::vector<std::uint8_t> data = Bytes(1000);
    for (int i = 0; i < 3; ++i) {
        p.ChannelServices().AcceptData(data.data(), data.size());
        p.Advance(1000);
    }
    ASSERT_EQ(p.ReceivedData().size(), 1500u);
    EXPECT_EQ(p.ReceivedData().front(), 500 % 256);

    // A single drain larger than the limit keeps its own newest bytes.
    const std::vector<std::uint8_t> big = Bytes(3000, 7);
    p.ChannelServices().AcceptData(big.data(), big.size());
    p.Advance(1000);
    ASSERT_EQ(p.ReceivedData().size(), 1500u);
    EXPECT_TRUE(std::equal(big.end() - 1500, big.end(), p.ReceivedData().begin()));
}

TEST(InputBuffer, KeepsNoRecordWhenItsLimitIsZero) {
    Printer::Options o = SmallBuffer(4000, 100000);
    o.receivedLogLimit = 0;
    Printer p(o, Eeprom::Factory(1));
    const std::vector<std::uint8_t> data = Bytes(2500);
    p.ChannelServices().AcceptData(data.data(), data.size());
    p.Advance(100);
    EXPECT_EQ(p.Buffered(), 0u);
    EXPECT_EQ(p.counters().dataDrained, 2500u);
    EXPECT_TRUE(p.ReceivedData().empty());
}

TEST(Faults, ErrorAndHeldStatesStopPrintingUntilCleared) {
    Printer p(SmallBuffer(4000, 1000), Eeprom::Factory(1));
    const std::vector<std::uint8_t> data = Bytes(2000);
    p.ChannelServices().AcceptData(data.data(), data.size());
    p.InjectError(6);
    p.Advance(10000);
    EXPECT_EQ(p.Buffered(), 2000u);
    EXPECT_EQ(p.ChannelServices().DataSpace(), 2000u) << "room left is still offered";
    p.ClearError();
    p.HoldState(kStateCleaning);
    p.Advance(10000);
    EXPECT_EQ(p.Buffered(), 2000u);
    p.HoldState(std::nullopt);
    p.Advance(1000);
    EXPECT_EQ(p.Buffered(), 1000u);
}

TEST(Faults, StuckBusyOffersNoRoom) {
    Printer p(SmallBuffer(), Eeprom::Factory(1));
    p.SetStuckBusy(true);
    EXPECT_EQ(p.ChannelServices().DataSpace(), 0u);
    p.Advance(600000);
    EXPECT_EQ(p.State(), kStateBusy);
    p.SetStuckBusy(false);
    EXPECT_EQ(p.ChannelServices().DataSpace(), 4000u);
}

TEST(Faults, PowerOffSilencesThePrinterAndLosesOnlyTheBuffer) {
    Printer p(SmallBuffer(), Eeprom::Factory(1));
    const std::vector<std::uint8_t> data = Bytes(500);
    p.ChannelServices().AcceptData(data.data(), data.size());
    p.WriteEeprom(0x20, 0x77);
    p.SetPower(false);
    EXPECT_EQ(p.Buffered(), 0u);
    EXPECT_EQ(p.ChannelServices().DataSpace(), 0u);
    const std::uint8_t init[] = {0, 0, 0, 8, 1, 0, 0x00, 0x10};
    EXPECT_TRUE(p.HostBytes(init, sizeof init).empty());
    EXPECT_EQ(p.counters().hostBytes, 0u);
    p.SetPower(true);
    EXPECT_EQ(p.eeprom().Get(0x20), 0x77);
    EXPECT_EQ(p.State(), kStateReady);
}

TEST(Faults, LinkDropsAfterTheGivenNumberOfPacketsInAnyChunking) {
    Printer p(SmallBuffer(), Eeprom::Factory(1));
    p.Connect();
    // Three packets of 6, 8 and 7 bytes, then the start of a fourth.
    std::vector<std::uint8_t> stream = {1, 1, 0, 6, 0, 0, 1, 1, 0, 8, 0, 0, 9, 9, 1, 1, 0, 7, 0, 0, 5, 1, 1};
    p.DropLinkAfter(3);
    for (std::uint8_t b : stream) p.HostBytes(&b, 1);
    EXPECT_TRUE(p.LinkDropped());
    EXPECT_EQ(p.counters().hostPackets, 3u);
    EXPECT_EQ(p.counters().hostBytes, 21u) << "bytes after the drop never arrive";
    EXPECT_FALSE(p.PacketsBeforeDrop().has_value()) << "the drop happens once";
    p.Connect();
    EXPECT_FALSE(p.LinkDropped()) << "a new connection works again";

    p.DropLinkAfter(0);
    EXPECT_TRUE(p.LinkDropped());

    // Cut in two anywhere, so whole packets, a packet's start and its rest
    // meet in one chunk: the drop still comes after exactly the n-th packet,
    // and the bytes behind it are not counted as arrived.
    const std::size_t arrived[] = {0, 6, 14, 21};
    for (std::uint64_t n = 1; n <= 3; ++n) {
        for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
            p.Connect();
            const std::uint64_t before = p.counters().hostPackets;
            const std::uint64_t bytesBefore = p.counters().hostBytes;
            p.DropLinkAfter(n);
            p.HostBytes(stream.data(), cut);
            p.HostBytes(stream.data() + cut, stream.size() - cut);
            EXPECT_TRUE(p.LinkDropped()) << "drop after " << n << ", cut at " << cut;
            EXPECT_EQ(p.counters().hostPackets - before, n) << "drop after " << n << ", cut at " << cut;
            EXPECT_EQ(p.counters().hostBytes - bytesBefore, arrived[n]) << "drop after " << n << ", cut at " << cut;
        }
    }
}

class FakeEngine : public Engine {
public:
    std::size_t Consume(const std::uint8_t* data, std::size_t n) override {
        const std::size_t take = std::min(n, appetite);
        taken.insert(taken.end(), data, data + take);
        return take;
    }
    void Advance(std::uint64_t ms) override { advanced += ms; }
    EngineStatus Status() const override { return status; }
    void PressPaperButton() override { ++paper; }
    void PressRollPaperSwitch() override { ++roll; }
    void Reset() override { ++resets; }

    std::size_t appetite = SIZE_MAX;
    std::vector<std::uint8_t> taken;
    std::uint64_t advanced = 0;
    EngineStatus status;
    int paper = 0, roll = 0, resets = 0;
};

TEST(WithEngine, DataGoesToTheEngineAsItCanTakeIt) {
    FakeEngine engine;
    Printer p(SmallBuffer(4000, 1000), Eeprom::Factory(1));
    p.SetEngine(&engine);
    const std::vector<std::uint8_t> data = Bytes(1500);
    p.ChannelServices().AcceptData(data.data(), data.size());
    engine.appetite = 0;  // mechanism busy
    p.Advance(500);
    EXPECT_EQ(p.Buffered(), 1500u);
    EXPECT_EQ(engine.advanced, 500u);
    engine.appetite = SIZE_MAX;
    p.Advance(2000);
    EXPECT_EQ(engine.taken, data);
    EXPECT_EQ(engine.advanced, 2500u);
    EXPECT_TRUE(p.ReceivedData().empty()) << "the engine keeps what it prints";
}

TEST(WithEngine, BytesArrivingWhileTheEngineTakesLittleStayInOrder) {
    FakeEngine engine;
    Printer p(SmallBuffer(40000, 100000), Eeprom::Factory(1), &engine);
    std::vector<std::uint8_t> sent;
    for (int i = 0; i < 40; ++i) {
        const std::vector<std::uint8_t> block = Bytes(700, static_cast<std::uint8_t>(i * 13));
        ASSERT_GE(p.ChannelServices().DataSpace(), block.size()) << "block " << i;
        p.ChannelServices().AcceptData(block.data(), block.size());
        sent.insert(sent.end(), block.begin(), block.end());
        engine.appetite = static_cast<std::size_t>(i % 4) * 230;  // sometimes nothing, never all
        p.Advance(10);
    }
    EXPECT_EQ(p.Buffered() + engine.taken.size(), sent.size());
    engine.appetite = SIZE_MAX;
    p.Advance(1000);
    EXPECT_EQ(p.Buffered(), 0u);
    EXPECT_EQ(engine.taken, sent);
    EXPECT_EQ(p.counters().dataDrained, sent.size());
}

TEST(WithEngine, ReportsTheEngineUnlessAFaultOverridesIt) {
    FakeEngine engine;
    Printer p(SmallBuffer(), Eeprom::Factory(1), &engine);
    engine.status = {kStateError, 4};
    EXPECT_EQ(p.State(), kStateError);
    EXPECT_EQ(p.ErrorCode(), 4);
    engine.status = {kStateCleaning, 0};
    EXPECT_EQ(p.State(), kStateCleaning);
    p.SetStuckBusy(true);
    EXPECT_EQ(p.State(), kStateBusy);
    p.InjectError(29);
    EXPECT_EQ(p.ErrorCode(), 29);
    p.ClearFaults();
    engine.status = {kStateReady, 0};
    const std::vector<std::uint8_t> data = Bytes(10);
    engine.appetite = 0;
    p.ChannelServices().AcceptData(data.data(), data.size());
    EXPECT_EQ(p.State(), kStatePrinting) << "not ready while data waits";
}

TEST(WithEngine, ResetsDropTheJobAndButtonsReachTheEngine) {
    FakeEngine engine;
    Printer p(SmallBuffer(), Eeprom::Factory(1), &engine);
    const std::vector<std::uint8_t> data = Bytes(10);
    p.ChannelServices().AcceptData(data.data(), data.size());
    p.PortReset();
    EXPECT_EQ(p.Buffered(), 0u);
    EXPECT_EQ(engine.resets, 1);
    p.SetPower(false);
    p.PressPaperButton();  // a printer that is off has no working buttons
    p.SetPower(true);
    EXPECT_EQ(engine.resets, 2);
    p.PressPaperButton();
    p.PressRollPaperSwitch();
    EXPECT_EQ(engine.paper, 1);
    EXPECT_EQ(engine.roll, 1);
    p.WriteEeprom(0x6C, 0x12);
    EXPECT_EQ(p.ReadEeprom(0x6C), 0x12);
    EXPECT_TRUE(p.EepromChanged());
}

TEST(DeviceId, NamesTheModelAndAnnouncesThePacketProtocol) {
    Printer p(SmallBuffer(), Eeprom::Factory(2), nullptr);
    Printer::Options o4200 = SmallBuffer();
    o4200.model = 2;
    Printer q(o4200, Eeprom::Factory(2));
    const std::string text = "MFG:Corvid;MDL:Corvid Lumen 4200;CLS:PRINTER;CMD:D4,REMOTE1;";
    const std::string id = q.DeviceId();
    ASSERT_EQ(id.size(), text.size() + 2);
    EXPECT_EQ(static_cast<std::uint8_t>(id[0]) << 8 | static_cast<std::uint8_t>(id[1]), id.size());
    EXPECT_EQ(id.substr(2), text);
    EXPECT_NE(p.DeviceId().find("MDL:Corvid Lumen 4100;"), std::string::npos);
    Printer::Options bad;
    bad.model = 3;
    EXPECT_THROW(Printer(bad, Eeprom()), std::invalid_argument);
}

TEST(DirectPort, GoesSilentWhenOffAndClosedWhenDropped) {
    Printer p(SmallBuffer(), Eeprom::Factory(1));
    DirectTransport t(p);
    std::string raw;
    ASSERT_EQ(t.ReadDeviceId(raw), hb::IoStatus::Ok);
    EXPECT_EQ(raw, p.DeviceId());
    std::uint8_t byte = 0;
    EXPECT_EQ(t.Read(&byte, 1, 2000), hb::IoStatus::Timeout);

    p.SetPower(false);
    EXPECT_EQ(t.ReadDeviceId(raw), hb::IoStatus::Timeout);
    const std::uint8_t packet[] = {0, 0, 0, 6, 0, 0};
    EXPECT_EQ(t.Write(packet, sizeof packet, 2000), hb::IoStatus::Ok);
    EXPECT_EQ(t.Read(&byte, 1, 2000), hb::IoStatus::Timeout);
    EXPECT_EQ(p.counters().hostBytes, 0u);

    p.SetPower(true);
    p.DropLinkAfter(0);
    EXPECT_EQ(t.Read(&byte, 1, 2000), hb::IoStatus::Closed);
    EXPECT_EQ(t.Write(packet, sizeof packet, 2000), hb::IoStatus::Closed);
    EXPECT_EQ(t.Reset(), hb::IoStatus::Closed);
    DirectTransport reopened(p);
    EXPECT_EQ(reopened.ReadDeviceId(raw), hb::IoStatus::Ok);
}

}  // namespace
}  // namespace vp

namespace vp {
namespace {

TEST(Clock, PrintingDrainsByTheMicrosecond) {
    Printer::Options o;
    o.bufferCapacity = 100000;
    o.bytesPerSecond = 1000000;  // a byte per microsecond
    Printer p(o, Eeprom::Factory(1));
    std::vector<std::uint8_t> data(50000, 0x20);
    p.ChannelServices().AcceptData(data.data(), data.size());
    for (int i = 0; i < 100; ++i) p.AdvanceMicros(250);  // turns far shorter than a millisecond
    EXPECT_EQ(p.Buffered(), 25000u);
    p.AdvanceMicros(3);
    EXPECT_EQ(p.Buffered(), 24997u);
    EXPECT_EQ(p.NowMs(), 25u);
}

TEST(Clock, WithoutASpeedLimitDataDrainsAsItArrives) {
    Printer::Options o;
    o.bufferCapacity = 16384;
    o.bytesPerSecond = Printer::kUnlimitedSpeed;
    Printer p(o, Eeprom::Factory(1));
    std::vector<std::uint8_t> data(16384, 0x20);
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(p.ChannelServices().DataSpace(), 16384u);
        p.ChannelServices().AcceptData(data.data(), data.size());
    }
    EXPECT_EQ(p.counters().dataDrained, 163840u);
    p.InjectError(6);  // a fault still stops printing
    p.ChannelServices().AcceptData(data.data(), 100);
    p.AdvanceMicros(1000);
    EXPECT_EQ(p.Buffered(), 100u);
}

}  // namespace
}  // namespace vp
