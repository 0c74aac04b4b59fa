#include "vprinter/engine/CaptureDecoder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "chanlink/Capture.h"
#include "chanlink/Messages.h"
#include "chanlink/Packet.h"
#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"
#include "vprinter/engine/PacketCapture.h"
#include "integration/testing/EngineTesting.h"

namespace vp {
namespace {

using Bytes = std::vector<std::uint8_t>;

class CaptureDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        path =
            std::filesystem::temp_directory_path() / ("vengine-capture-test-" + std::to_string(::getpid()) + ".d4cap");
        ASSERT_TRUE(writer.Open(path.string())) << writer.Error();
    }
    void TearDown() override { std::filesystem::remove(path); }

    void Record(std::uint64_t micros, d4::Direction direction, std::uint8_t psid, std::uint8_t ssid,
                const Bytes& payload) {
        const Bytes packet = d4::EncodePacket(psid, ssid, 1, payload.data(), payload.size());
        writer.RecordAt(micros, direction, packet.data(), packet.size());
    }
    std::string Decoded(bool expectOk = true) {
        writer.Close();
        std::ostringstream out;
        std::string error;
        EXPECT_EQ(DecodeCaptureFile(path.string(), out, &error), expectOk) << error;
        return out.str() + error;
    }

    std::filesystem::path path;
    d4::CaptureWriter writer;
};

TEST_F(CaptureDecoderTest, EveryKindOfPacketIsDecoded) {
    d4::Transaction init;
    init.command = d4::Command::Init;
    init.revision = d4::kProtocolRevision;
    Record(0, d4::Direction::HostToPrinter, 0, 0, d4::EncodeTransaction(init));
    d4::ControlMessage read;
    read.op = d4::ControlOp::ReadEeprom;
    read.address = 0x20;
    Record(1500, d4::Direction::HostToPrinter, d4::kControlSocket, d4::kControlSocket, d4::EncodeControl(read));
    read.reply = true;
    read.value = 0x07;
    Record(2250, d4::Direction::PrinterToHost, d4::kControlSocket, d4::kControlSocket, d4::EncodeControl(read));
    d4::ControlMessage status;
    status.op = d4::ControlOp::Status;
    status.reply = true;
    status.record[0] = 0;
    status.record[1] = 6;
    Record(3000, d4::Direction::PrinterToHost, d4::kControlSocket, d4::kControlSocket, d4::EncodeControl(status));
    // Print data split over two packets in the middle of a raster block.
    const Bytes job = vp::testing::Wire([] {
        svc::Factory().CarriageHome();
        auto& s = svc::JobStream();
        svc::SendJobHeader(s, 10, 1, 10, 1);
        svc::SendRasterResolution(s, 104, 1, 2, 1);
        svc::SendRasterHeader(s, svc::ink::Yellow, 1, 2, 4, 2);
        svc::RepeatSend(s, 4, 0xFF);
        svc::RepeatSend(s, 4, 0x00);
        const std::uint8_t label[] = {'O', 'K', 0};
        s.Append(label, 3);
        svc::TPRemoteComm(s).SetCutPosition(-64);
    });
    const std::size_t half = job.size() / 2 + 10;
    Record(4000, d4::Direction::HostToPrinter, d4::kDataSocket, d4::kDataSocket,
           Bytes(job.begin(), job.begin() + half));
    Record(5000, d4::Direction::HostToPrinter, d4::kDataSocket, d4::kDataSocket, Bytes(job.begin() + half, job.end()));

    const std::string text = Decoded();
    for (const char* part :
         {"  0.000000 host->printer socket 0/0", "Init revision 10", "  0.001500 host->printer socket 3/3",
          "EEPROM read 20\n", "printer->host", "EEPROM read 20 -> 07 result 0", "status -> state 0, error 6",
          "print data, ", "factory CarriageHome (81)", "ESC @ reset", "ESC ( U unit 10/3600 inch",
          "ESC i raster yellow, compression 1, 2 bits per pixel, 4 bytes x 2 lines",
          "raster block complete, 4 inked bytes", "text \"OK\"", "ESC ( R enter remote mode",
          "remote DD 00 10 00 C0 02", "remote SV", "exit remote mode"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    EXPECT_EQ(text.find("ERROR"), std::string::npos) << text;
}

TEST_F(CaptureDecoderTest, ReportsBadPrintDataAndTruncatedCaptures) {
    const Bytes cut = {0x1B, 0x69, 0x00, 0x01, 0x02, 0x02, 0x00, 0x02, 0x00, 0xFF, 0xFF};
    Record(0, d4::Direction::HostToPrinter, d4::kDataSocket, d4::kDataSocket, cut);
    const std::string text = Decoded();
    EXPECT_NE(text.find("ERROR byte 10: the data ends after 1 of the 2 lines of a raster block"), std::string::npos)
        << text;

    // A record whose byte count runs past the end of the file.
    {
        std::ofstream file(path, std::ios::binary | std::ios::app);
        const char head[13] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 0, 0, 0};
        file.write(head, sizeof head);
        file.write("abc", 3);
    }
    std::ostringstream out;
    std::string error;
    EXPECT_FALSE(DecodeCaptureFile(path.string(), out, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(DecodeCaptureFile((path.string() + ".missing"), out, &error));
}

TEST_F(CaptureDecoderTest, ThePrinterSideCutsItsByteStreamIntoPackets) {
    writer.Close();
    PacketCapture capture;
    ASSERT_TRUE(capture.Open(path.string())) << capture.Error();
    d4::ControlMessage read;
    read.op = d4::ControlOp::ReadEeprom;
    read.address = 0x77;
    const Bytes one = d4::EncodePacket(3, 3, 1, d4::EncodeControl(read).data(), d4::EncodeControl(read).size());
    read.address = 0x78;
    const Bytes two = d4::EncodePacket(3, 3, 1, d4::EncodeControl(read).data(), d4::EncodeControl(read).size());
    Bytes stream = one;
    stream.insert(stream.end(), two.begin(), two.end());
    // Two packets arriving in three uneven pieces, and a reply in one.
    capture.HostBytes(10, stream.data(), 3);
    capture.HostBytes(20, stream.data() + 3, one.size());
    capture.HostBytes(30, stream.data() + 3 + one.size(), stream.size() - 3 - one.size());
    read.reply = true;
    read.value = 5;
    const Bytes reply = d4::EncodePacket(3, 3, 1, d4::EncodeControl(read).data(), d4::EncodeControl(read).size());
    capture.PrinterBytes(40, reply.data(), reply.size());
    capture.HostBytes(50, stream.data(), 4);  // a port reset cuts this one short
    capture.Reset(60);
    capture.Close();

    d4::CaptureReader reader;
    ASSERT_TRUE(reader.Open(path.string()));
    d4::CaptureRecord record;
    std::vector<std::pair<std::uint64_t, std::size_t>> seen;
    while (reader.Next(record)) seen.emplace_back(record.micros, record.bytes.size());
    const std::vector<std::pair<std::uint64_t, std::size_t>> expected = {
        {20, one.size()}, {30, two.size()}, {40, reply.size()}, {60, 4}};
    EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace vp
