#include "vprinter/engine/CapturePcapng.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "chanlink/Capture.h"

namespace vp {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }

struct Block {
    std::uint32_t type;
    Bytes body;  // between the leading and the trailing length
};

// Splits a pcapng file into blocks, checking the framing every reader relies on.
std::vector<Block> Blocks(const Bytes& file) {
    std::vector<Block> blocks;
    std::size_t at = 0;
    while (at < file.size()) {
        EXPECT_LE(at + 12, file.size());
        if (at + 12 > file.size()) break;
        const std::uint32_t length = U32(file, at + 4);
        EXPECT_EQ(length % 4, 0u) << "block at " << at;
        EXPECT_LE(at + length, file.size());
        if (length < 12 || at + length > file.size()) break;
        EXPECT_EQ(U32(file, at + length - 4), length) << "trailing length of the block at " << at;
        blocks.push_back({U32(file, at), Bytes(file.begin() + at + 8, file.begin() + at + length - 4)});
        at += length;
    }
    return blocks;
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class CapturePcapngTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vpcapture-pcapng-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        capture = dir / "link.cap";
        out = dir / "link.pcapng";
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir, capture, out;
};

TEST_F(CapturePcapngTest, EachPacketBecomesOneBlockWithItsTimeDirectionAndBytes) {
    const Bytes request = {0x03, 0x03, 0x00, 0x08, 0x01, 0x00, 0x10, 0xE0};
    const Bytes reply = {0x03, 0x03, 0x00, 0x0A, 0x01, 0x00, 0x90, 0x00, 0xE0, 0x02};
    const Bytes odd = {0x02, 0x02, 0x00, 0x07, 0x01, 0x00, 0x1B};  // needs padding
    d4::CaptureWriter writer;
    ASSERT_TRUE(writer.Open(capture.string())) << writer.Error();
    writer.RecordAt(1500, d4::Direction::HostToPrinter, request.data(), request.size());
    writer.RecordAt(0x1'0000'0002ULL, d4::Direction::PrinterToHost, reply.data(), reply.size());
    writer.RecordAt(0x1'0000'0003ULL, d4::Direction::HostToPrinter, odd.data(), odd.size());
    writer.Close();

    const PcapngResult r = CaptureToPcapng(capture.string(), out.string());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.packets, 3u);
    EXPECT_FALSE(fs::exists(out.string() + ".part"));

    const std::vector<Block> blocks = Blocks(ReadFile(out));
    ASSERT_EQ(blocks.size(), 5u);
    EXPECT_EQ(blocks[0].type, 0x0A0D0D0Au);
    EXPECT_EQ(U32(blocks[0].body, 0), 0x1A2B3C4Du);
    EXPECT_EQ(U16(blocks[0].body, 4), 1);  // version 1.0
    EXPECT_EQ(U16(blocks[0].body, 6), 0);
    EXPECT_EQ(blocks[1].type, 1u);
    EXPECT_EQ(U16(blocks[1].body, 0), 147);  // LINKTYPE_USER0

    struct Want {
        std::uint64_t micros;
        const Bytes* bytes;
        std::uint32_t flags;
    };
    const Want want[] = {{1500, &request, kPcapngOutbound},
                         {0x1'0000'0002ULL, &reply, kPcapngInbound},
                         {0x1'0000'0003ULL, &odd, kPcapngOutbound}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Block& b = blocks[2 + i];
        ASSERT_EQ(b.type, 6u);
        EXPECT_EQ(U32(b.body, 0), 0u);  // interface
        EXPECT_EQ((std::uint64_t{U32(b.body, 4)} << 32) | U32(b.body, 8), want[i].micros);
        const std::uint32_t n = U32(b.body, 12);
        ASSERT_EQ(n, want[i].bytes->size());
        EXPECT_EQ(U32(b.body, 16), n);
        EXPECT_EQ(Bytes(b.body.begin() + 20, b.body.begin() + 20 + n), *want[i].bytes);
        // The options follow the padded packet: epb_flags, then the end.
        const std::size_t opt = 20 + (n + 3) / 4 * 4;
        ASSERT_GE(b.body.size(), opt + 12);
        EXPECT_EQ(U16(b.body, opt), 2);
        EXPECT_EQ(U16(b.body, opt + 2), 4);
        EXPECT_EQ(U32(b.body, opt + 4), want[i].flags);
        EXPECT_EQ(U32(b.body, opt + 8), 0u);
    }
}

TEST_F(CapturePcapngTest, BadInputKeepsWhatWasThereAndTruncatedCapturesKeepTheirWholePackets) {
    {
        std::ofstream(out, std::ios::binary) << "earlier file";
        std::ofstream(capture, std::ios::binary) << "not a capture at all";
    }
    PcapngResult r = CaptureToPcapng(capture.string(), out.string());
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(ReadFile(out), Bytes({'e', 'a', 'r', 'l', 'i', 'e', 'r', ' ', 'f', 'i', 'l', 'e'}));
    EXPECT_FALSE(fs::exists(out.string() + ".part"));

    r = CaptureToPcapng((dir / "missing.cap").string(), out.string());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(ReadFile(out).size(), 12u);

    // A capture never replaces itself.
    const Bytes packet = {0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x10};
    d4::CaptureWriter writer;
    ASSERT_TRUE(writer.Open(capture.string(), /*replace=*/true));
    writer.RecordAt(0, d4::Direction::HostToPrinter, packet.data(), packet.size());
    writer.RecordAt(10, d4::Direction::PrinterToHost, packet.data(), packet.size());
    writer.Close();
    const Bytes whole = ReadFile(capture);
    r = CaptureToPcapng(capture.string(), capture.string());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(ReadFile(capture), whole);

    // Killed mid-record: the whole packets are converted, the result says what happened.
    fs::resize_file(capture, whole.size() - 3);
    r = CaptureToPcapng(capture.string(), out.string());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("truncated"), std::string::npos) << r.error;
    EXPECT_EQ(r.packets, 1u);
    const std::vector<Block> blocks = Blocks(ReadFile(out));
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[2].type, 6u);
}

TEST_F(CapturePcapngTest, AnUnwritableDestinationIsReported) {
    d4::CaptureWriter writer;
    ASSERT_TRUE(writer.Open(capture.string()));
    writer.Close();
    const PcapngResult r = CaptureToPcapng(capture.string(), (dir / "no-such-folder" / "x.pcapng").string());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("cannot create"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace vp
