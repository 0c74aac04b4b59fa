#include "linkport/linkport.h"

#include "linkport/OsLayer.h"
#include "linkport/ScriptedOsLayer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using linkport::CommTimeouts;
using linkport::testing::ScriptedOsLayer;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kLpt1 = 1028;

// A packet header announcing the given total length.
Bytes Header(uint16_t length) {
    return {0x00, 0x00, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF), 0x01, 0x00};
}

class LinkPort : public ::testing::Test {
protected:
    void SetUp() override { linkport::SetOsLayerForTesting(&os); }
    void TearDown() override {
        PortClose();
        linkport::SetOsLayerForTesting(nullptr);
    }

    void Open() {
        ASSERT_EQ(PortOpen(kLpt1), LINKPORT_OK);
        ASSERT_EQ(GetIOErrorCode(), LINKPORT_IOE_NONE);
    }

    // Leaves a failure detail behind, to see which calls keep it.
    void LeaveWriteFailure() {
        os.writeFails = true;
        const uint8_t byte = 0;
        ASSERT_EQ(Send(&byte, 1), LINKPORT_IO_FAILURE);
        ASSERT_EQ(GetIOErrorCode(), LINKPORT_IOE_WRITE);
        os.writeFails = false;
    }

    ScriptedOsLayer os;
};

// ---- PortOpen, PortClose, InitCommTimeOuts ----

TEST_F(LinkPort, OpensTheThreeLptPortsOneAtATimeWithTheirTimeouts) {
    for (uint16_t code : {1028, 1029, 1030}) {
        os.timeouts = CommTimeouts{};
        ASSERT_EQ(PortOpen(code), LINKPORT_OK);
        EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_NONE);
        EXPECT_EQ(os.timeouts, (CommTimeouts{10, 1, 2000, 1, 2000}));
        EXPECT_EQ(os.OpenCount(), 1u) << "the previous port must be closed first";
    }
    EXPECT_EQ(os.opened, (std::vector<std::string>{"LPT1", "LPT2", "LPT3"}));
    EXPECT_EQ(os.closed.size(), 2u);

    PortClose();
    PortClose();  // closing twice is harmless
    EXPECT_EQ(os.OpenCount(), 0u);
    EXPECT_EQ(os.closed.size(), 3u);
}

TEST_F(LinkPort, RefusesOtherPortCodesAndClosesTheOpenPort) {
    Open();
    EXPECT_EQ(PortOpen(1025), LINKPORT_IO_FAILURE);  // a USB port
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_BAD_PORT_CODE);
    EXPECT_EQ(os.OpenCount(), 0u);
    EXPECT_EQ(os.opened.size(), 1u) << "nothing is opened for a refused code";

    for (uint16_t code : {0, 1027, 1031, 0xFFFF}) {
        EXPECT_EQ(PortOpen(code), LINKPORT_IO_FAILURE) << code;
        EXPECT_EQ(GetIOErrorCode(), 0x1100) << code;
    }
    EXPECT_EQ(os.opened.size(), 1u);
}

TEST_F(LinkPort, AFailedOpenReportsTheSystemErrorLess105) {
    struct Case {
        uint32_t error;
        int16_t detail;
    };
    for (const Case c : {Case{2, -103}, Case{5, -100}, Case{32, -73}, Case{1460, 1355}}) {
        os.openError = c.error;
        EXPECT_EQ(PortOpen(kLpt1), LINKPORT_IO_FAILURE);
        EXPECT_EQ(GetIOErrorCode(), c.detail) << c.error;
    }
    // The port stays closed: nothing goes out.
    const uint8_t byte = 0;
    EXPECT_EQ(Send(&byte, 1), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_NO_PORT);
    EXPECT_TRUE(os.writes.empty());
}

TEST_F(LinkPort, TimeoutsThatCannotBeReadOrSetFailTheOpen) {
    os.getTimeoutsFails = true;
    EXPECT_EQ(PortOpen(kLpt1), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_NO_PORT);

    os.getTimeoutsFails = false;
    os.setTimeoutsFails = true;
    EXPECT_EQ(PortOpen(kLpt1), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_NO_PORT);

    PortClose();
    os.setTimeoutsFails = false;
    EXPECT_EQ(InitCommTimeOuts(), LINKPORT_IO_FAILURE) << "no open port";
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_NO_PORT);
}

// ---- Send ----

TEST_F(LinkPort, SendWritesAllBytesInOneWrite) {
    Open();
    const Bytes data{0x1B, 0x40, 0x00, 0xFF};
    EXPECT_EQ(Send(data.data(), 4), LINKPORT_OK);
    ASSERT_EQ(os.writes.size(), 1u);
    EXPECT_EQ(os.writes[0], data);
}

TEST_F(LinkPort, SendReportsFailedShortAndPortlessWrites) {
    const uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(Send(data, 3), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_NO_PORT);

    Open();
    os.writeAccepts = 2;
    EXPECT_EQ(Send(data, 3), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_WRITE);

    os.writeAccepts = UINT32_MAX;
    os.writeFails = true;
    EXPECT_EQ(Send(data, 3), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_WRITE);

    os.writeFails = false;
    EXPECT_EQ(Send(data, 3), LINKPORT_OK);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_NONE) << "a new operation starts clean";
}

// ---- Receive ----

TEST_F(LinkPort, ReceiveReadsTheHeaderThenExactlyTheRest) {
    Open();
    Bytes header = Header(10);
    os.reads.push_back({header});
    // The printer offers more than the packet; only the packet may be taken.
    os.reads.push_back({{0xA1, 0xA2, 0xA3, 0xA4, 0xEE, 0xEE}});

    auto buffer = std::make_unique<uint8_t[]>(10);  // exactly the packet
    uint32_t length = 99;
    EXPECT_EQ(Receive(buffer.get(), &length), LINKPORT_OK);
    EXPECT_EQ(length, 10u);
    EXPECT_EQ(os.readSizes, (std::vector<uint32_t>{6, 4}));
    EXPECT_EQ(Bytes(buffer.get(), buffer.get() + 10),
              (Bytes{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0xA1, 0xA2, 0xA3, 0xA4}));
    EXPECT_EQ(os.sleeps, (std::vector<uint32_t>{5}));
}

TEST_F(LinkPort, ReceiveOfAHeaderOnlyPacketReadsNoPayload) {
    Open();
    os.reads.push_back({Header(6)});
    auto buffer = std::make_unique<uint8_t[]>(6);
    uint32_t length = 0;
    EXPECT_EQ(Receive(buffer.get(), &length), LINKPORT_OK);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(os.readSizes, (std::vector<uint32_t>{6}));
}

TEST_F(LinkPort, ReceiveRefusesAHeaderShorterThanItself) {
    Open();
    for (uint16_t bad : {0, 1, 5}) {
        os.reads.push_back({Header(bad)});
        os.readSizes.clear();
        auto buffer = std::make_unique<uint8_t[]>(6);
        uint32_t length = 99;
        EXPECT_EQ(Receive(buffer.get(), &length), LINKPORT_IO_FAILURE) << bad;
        EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_READ) << bad;
        EXPECT_EQ(length, 0u) << bad;
        EXPECT_EQ(os.readSizes, (std::vector<uint32_t>{6})) << "no payload read for " << bad;
    }
}

TEST_F(LinkPort, ReceiveReportsReadsOfTwoSecondsOrMoreAsTimeouts) {
    Open();
    uint32_t length = 99;
    uint8_t buffer[16] = {};

    // A header that took 2 s.
    os.reads.push_back({Header(6), 2000});
    EXPECT_EQ(Receive(buffer, &length), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_TIMEOUT);
    EXPECT_EQ(length, 0u);

    // Nothing arrives at all: the read ends at its total time-out.
    EXPECT_EQ(Receive(buffer, &length), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_TIMEOUT);

    // A payload that took 2 s keeps the header's length and the bytes read.
    os.reads.push_back({Header(9)});
    os.reads.push_back({{0x51, 0x52}, 2500});
    EXPECT_EQ(Receive(buffer, &length), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_TIMEOUT);
    EXPECT_EQ(length, 9u);
    EXPECT_EQ(buffer[6], 0x51);
    EXPECT_EQ(buffer[7], 0x52);
}

TEST_F(LinkPort, ReceiveWithinTwoSecondsIsNoTimeout) {
    Open();
    // The settle wait ends 5 ms into a second; 1.9 s more stays within it.
    os.reads.push_back({Header(7), 1900});
    os.reads.push_back({{0x77}, 0});
    uint8_t buffer[7];
    uint32_t length = 0;
    EXPECT_EQ(Receive(buffer, &length), LINKPORT_OK);
    EXPECT_EQ(length, 7u);
    EXPECT_EQ(buffer[6], 0x77);
}

TEST_F(LinkPort, ReceiveReportsFailedAndIncompleteReads) {
    uint8_t buffer[16];
    uint32_t length = 99;
    EXPECT_EQ(Receive(buffer, &length), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_NO_PORT);

    Open();
    os.reads.push_back({{}, 0, true});
    EXPECT_EQ(Receive(buffer, &length), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_READ);
    EXPECT_EQ(length, 0u);

    // A header cut off by the gap between bytes.
    os.reads.push_back({{0x00, 0x00, 0x00}, 15});
    EXPECT_EQ(Receive(buffer, &length), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_READ);
    EXPECT_EQ(length, 0u);

    // A payload cut off the same way.
    os.reads.push_back({Header(12)});
    os.reads.push_back({{1, 2, 3}, 15});
    EXPECT_EQ(Receive(buffer, &length), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_READ);

    os.reads.push_back({Header(8)});
    os.reads.push_back({{}, 0, true});
    EXPECT_EQ(Receive(buffer, &length), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_READ);
}

// ---- device ID, model name, INIT ----

TEST_F(LinkPort, DeviceIdFlagsThePacketProtocolWhereverD4Occurs) {
    Open();
    struct Case {
        const char* id;
        uint8_t flag;
    };
    for (const Case c : {Case{"MFG:Corvid;CMD:RASTER,STATUS,D4;MDL:Corvid Lumen 4100;CLS:PRINTER;", 1},
                         Case{"MFG:Corvid;CMD:RASTER;MDL:XD4Y;CLS:PRINTER;", 1},
                         Case{"MFG:Corvid;CMD:RASTER,STATUS;MDL:Corvid Lumen 4100;CLS:PRINTER;", 0}, Case{"D", 0}}) {
        os.deviceId = c.id;
        uint8_t flag = 7;
        EXPECT_EQ(GetDeviceID(&flag), LINKPORT_OK) << c.id;
        EXPECT_EQ(flag, c.flag) << c.id;
    }
    ASSERT_FALSE(os.ioctls.empty());
    EXPECT_EQ(os.ioctls.back().code, 17u);
    EXPECT_EQ(os.ioctls.back().outSize, 200u);
}

TEST_F(LinkPort, DeviceIdTextEndsAtItsFirstZeroOrAtTheBufferEnd) {
    Open();
    uint8_t flag = 7;
    os.deviceId = std::string("CMD:ESC;\0D4;", 12);
    EXPECT_EQ(GetDeviceID(&flag), LINKPORT_OK);
    EXPECT_EQ(flag, 0);

    os.deviceId = std::string(198, 'x') + "D4";  // fills all 200 bytes, no terminator
    EXPECT_EQ(GetDeviceID(&flag), LINKPORT_OK);
    EXPECT_EQ(flag, 1);
}

TEST_F(LinkPort, DeviceIdFailuresGive110AndSuccessKeepsTheCode) {
    uint8_t flag = 7;
    EXPECT_EQ(GetDeviceID(&flag), LINKPORT_IO_FAILURE) << "no open port";
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_DEVICE);

    Open();
    os.ioctlFails = true;
    EXPECT_EQ(GetDeviceID(&flag), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_DEVICE);
    os.ioctlFails = false;

    os.deviceId.clear();  // the request gives no bytes
    EXPECT_EQ(GetDeviceID(&flag), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_DEVICE);
    EXPECT_EQ(flag, 7);

    LeaveWriteFailure();
    os.deviceId = "CMD:D4;MDL:Corvid Lumen 4200;CLS:PRINTER;";
    char name[20];
    EXPECT_EQ(GetDeviceID(&flag), LINKPORT_OK);
    EXPECT_EQ(GetModelName(name), LINKPORT_OK);
    EXPECT_EQ(SendINITSignal(), LINKPORT_OK);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_WRITE);
}

// The model name for a device ID, read into an exactly 20-byte buffer that
// starts out filled with '#'.
std::string ModelNameBytes(ScriptedOsLayer& os, const std::string& deviceId, uint16_t* result) {
    os.deviceId = deviceId;
    auto buffer = std::make_unique<char[]>(20);
    std::fill_n(buffer.get(), 20, '#');
    *result = GetModelName(buffer.get());
    return std::string(buffer.get(), 20);
}

TEST_F(LinkPort, ModelNameFillsTwentyBytes) {
    Open();
    uint16_t result = 0;
    EXPECT_EQ(ModelNameBytes(os, "MFG:Corvid;CMD:D4;MDL:Corvid Lumen 4200;CLS:PRINTER;", &result),
              std::string("Corvid Lumen 4200\0\0\0", 20));
    EXPECT_EQ(result, LINKPORT_OK);

    EXPECT_EQ(ModelNameBytes(os, "MDL:ABCDEFGHIJKLMNOPQRST;CLS:PRINTER;", &result), "ABCDEFGHIJKLMNOPQRST")
        << "exactly 20 characters: no terminator";
    EXPECT_EQ(result, LINKPORT_OK);

    EXPECT_EQ(ModelNameBytes(os, "MDL:Corvid Lumen 4200 Professional;CLS:PRINTER;", &result), "Corvid Lumen 4200 Pr")
        << "a longer name is cut at 20 bytes";
    EXPECT_EQ(result, LINKPORT_OK);

    // The first "MDL:" counts, and the last character before "CLS:" is dropped.
    EXPECT_EQ(ModelNameBytes(os, "MDL:A4;DES:x;CLS:P;MDL:B;CLS:Q;", &result),
              std::string("A4;DES:x\0\0\0\0\0\0\0\0\0\0\0\0", 20));
    EXPECT_EQ(ModelNameBytes(os, "MDL:CLS:PRINTER;", &result), std::string(20, '\0'));
    EXPECT_EQ(result, LINKPORT_OK);
}

TEST_F(LinkPort, ModelNameNeedsModelAndClassFields) {
    Open();
    uint16_t result = 0;
    for (const char* id :
         {"MFG:Corvid;CMD:D4;CLS:PRINTER;", "CLS:PRINTER;MDL:Corvid Lumen 4200;", "MFG:Corvid;MDL:Corvid Lumen 4200"}) {
        EXPECT_EQ(ModelNameBytes(os, id, &result), std::string(20, '#')) << id;
        EXPECT_EQ(result, LINKPORT_IO_FAILURE) << id;
        EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_DEVICE) << id;
    }

    os.ioctlFails = true;
    EXPECT_EQ(ModelNameBytes(os, "MDL:X;CLS:Y;", &result), std::string(20, '#'));
    EXPECT_EQ(result, LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_DEVICE);
}

TEST_F(LinkPort, InitSignalIsRequestSevenWithOneOutputByte) {
    EXPECT_EQ(SendINITSignal(), LINKPORT_IO_FAILURE) << "no open port";
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_DEVICE);

    Open();
    EXPECT_EQ(SendINITSignal(), LINKPORT_OK);
    ASSERT_EQ(os.ioctls.size(), 2u);
    EXPECT_EQ(os.ioctls[1].code, 7u);
    EXPECT_EQ(os.ioctls[1].outSize, 1u);

    os.ioctlFails = true;
    EXPECT_EQ(SendINITSignal(), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_DEVICE);
}

}  // namespace
