// The packet codec against well-formed and malformed input.
#include <gtest/gtest.h>

#include "chanlink/Messages.h"
#include "chanlink/Packet.h"

namespace d4 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A table with the data channel open and `credit` packets granted to the peer.
struct OpenTable {
    explicit OpenTable(std::uint32_t credit = 4) {
        table.Open(kDataSocket, kDataSocket, kDataMaxPacket, 64);
        table.Grant(*table.Find(kDataSocket, kDataSocket), credit);
    }
    ChannelTable table;
    PacketAssembler assembler{table};
};

TEST(PacketCodec, HeaderIsBigEndianLengthWithHeader) {
    Bytes p = EncodePacket(2, 3, 7, reinterpret_cast<const std::uint8_t*>("abc"), 3);
    EXPECT_EQ(p, (Bytes{0x02, 0x03, 0x00, 0x09, 0x07, 0x00, 'a', 'b', 'c'}));
    Header h = DecodeHeader(Bytes{0x01, 0x02, 0x04, 0x06, 0x09, 0x00}.data());
    EXPECT_EQ(h.psid, 1);
    EXPECT_EQ(h.ssid, 2);
    EXPECT_EQ(h.length, 1030);
    EXPECT_EQ(h.credit, 9);
}

TEST(PacketCodec, ReassemblesAnyChunking) {
    OpenTable t;
    Bytes stream;
    for (std::uint8_t i = 0; i < 3; ++i) {
        Bytes payload(100u * i + 1, i);
        Bytes p = EncodePacket(kDataSocket, kDataSocket, 0, payload.data(), payload.size());
        stream.insert(stream.end(), p.begin(), p.end());
    }
    for (std::size_t chunk : {std::size_t{1}, std::size_t{5}, std::size_t{7}, stream.size()}) {
        OpenTable fresh;
        std::vector<Packet> got;
        for (std::size_t i = 0; i < stream.size(); i += chunk) {
            fresh.assembler.Feed(stream.data() + i, std::min(chunk, stream.size() - i));
            Packet p;
            while (fresh.assembler.Next(p) == PacketAssembler::Status::Packet) got.push_back(p);
        }
        ASSERT_EQ(got.size(), 3u) << "chunk " << chunk;
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(got[i].payload, Bytes(100 * i + 1, static_cast<std::uint8_t>(i)));
        EXPECT_EQ(fresh.assembler.Buffered(), 0u);
        EXPECT_EQ(fresh.table.Find(kDataSocket, kDataSocket)->grantedOut, 1u) << "each packet uses one credit";
    }
}

struct Malformed {
    const char* what;
    Bytes bytes;
    CodecError expected;
};

TEST(PacketCodec, RejectsMalformedHeadersAtOnce) {
    const std::vector<Malformed> cases = {
        {"length 0", {0x02, 0x02, 0x00, 0x00, 0x00, 0x00}, CodecError::LengthTooShort},
        {"length 5", {0x00, 0x00, 0x00, 0x05, 0x00, 0x00}, CodecError::LengthTooShort},
        {"data longer than negotiated", {0x02, 0x02, 0x04, 0x07, 0x00, 0x00}, CodecError::LengthTooLong},
        {"transaction longer than 64", {0x00, 0x00, 0x00, 0x41, 0x00, 0x00}, CodecError::LengthTooLong},
        {"unknown socket", {0x05, 0x05, 0x00, 0x07, 0x00, 0x00}, CodecError::UnknownSocket},
        {"mismatched socket pair", {0x02, 0x03, 0x00, 0x07, 0x00, 0x00}, CodecError::UnknownSocket},
        {"credit on the transaction channel", {0x00, 0x00, 0x00, 0x07, 0x01, 0x00}, CodecError::MalformedCommand},
    };
    for (const Malformed& c : cases) {
        OpenTable t;
        t.assembler.Feed(c.bytes.data(), c.bytes.size());
        Packet p;
        EXPECT_EQ(t.assembler.Next(p), PacketAssembler::Status::Error) << c.what;
        EXPECT_EQ(t.assembler.error(), c.expected) << c.what;
        // The error is final: good bytes afterwards do not revive the stream.
        Bytes good = EncodePacket(kDataSocket, kDataSocket, 0, nullptr, 0);
        t.assembler.Feed(good.data(), good.size());
        EXPECT_EQ(t.assembler.Next(p), PacketAssembler::Status::Error) << c.what;
    }
}

TEST(PacketCodec, EnforcesCredit) {
    OpenTable t(1);
    Bytes one = EncodePacket(kDataSocket, kDataSocket, 0, reinterpret_cast<const std::uint8_t*>("x"), 1);
    Packet p;
    t.assembler.Feed(one.data(), one.size());
    EXPECT_EQ(t.assembler.Next(p), PacketAssembler::Status::Packet);
    t.assembler.Feed(one.data(), one.size());
    EXPECT_EQ(t.assembler.Next(p), PacketAssembler::Status::Error);
    EXPECT_EQ(t.assembler.error(), CodecError::NoCredit);

    // Credit carried in headers adds up to the cap and no further.
    OpenTable c(10);
    Channel& ch = *c.table.Find(kDataSocket, kDataSocket);
    ASSERT_EQ(c.table.AddSendCredit(ch, kMaxCredit - 300), CodecError::None);
    Bytes grant = EncodePacket(kDataSocket, kDataSocket, 255, nullptr, 0);
    c.assembler.Feed(grant.data(), grant.size());
    EXPECT_EQ(c.assembler.Next(p), PacketAssembler::Status::Packet);
    EXPECT_EQ(ch.sendCredit, kMaxCredit - 45);
    c.assembler.Feed(grant.data(), grant.size());
    EXPECT_EQ(c.assembler.Next(p), PacketAssembler::Status::Error);
    EXPECT_EQ(c.assembler.error(), CodecError::CreditOverflow);

    ChannelTable g;
    g.Open(2, 2, 100, 100);
    Channel& gc = *g.Find(2, 2);
    EXPECT_TRUE(g.Grant(gc, kMaxCredit));
    EXPECT_FALSE(g.Grant(gc, 1));
    EXPECT_EQ(gc.grantedOut, kMaxCredit);
    EXPECT_FALSE(g.TakeSendCredit(gc));
}

TEST(PacketCodec, TruncatedPacketWaitsForItsBytes) {
    OpenTable t;
    Bytes p = EncodePacket(kDataSocket, kDataSocket, 0, Bytes(20, 1).data(), 20);
    Packet out;
    t.assembler.Feed(p.data(), 3);
    EXPECT_EQ(t.assembler.Next(out), PacketAssembler::Status::NeedMore);
    EXPECT_EQ(t.assembler.Missing(), 3u);
    t.assembler.Feed(p.data() + 3, 10);
    EXPECT_EQ(t.assembler.Next(out), PacketAssembler::Status::NeedMore);
    EXPECT_EQ(t.assembler.Missing(), 13u);
    t.assembler.Feed(p.data() + 13, 13);
    EXPECT_EQ(t.assembler.Next(out), PacketAssembler::Status::Packet);
    EXPECT_EQ(out.payload, Bytes(20, 1));
}

TEST(TransactionCodec, EncodesEachCommandAsDocumented) {
    Transaction open;
    open.command = Command::OpenChannel;
    open.psid = open.ssid = 2;
    open.maxHostToPrinter = 1030;
    open.maxPrinterToHost = 256;
    EXPECT_EQ(EncodeTransaction(open), (Bytes{0x01, 0x02, 0x02, 0x04, 0x06, 0x01, 0x00}));
    open.reply = true;
    open.credit = 64;
    EXPECT_EQ(EncodeTransaction(open), (Bytes{0x81, 0x00, 0x02, 0x02, 0x04, 0x06, 0x01, 0x00, 0x00, 0x40}));

    Transaction credit;
    credit.command = Command::CreditRequest;
    credit.psid = credit.ssid = 2;
    credit.credit = 300;
    EXPECT_EQ(EncodeTransaction(credit), (Bytes{0x04, 0x02, 0x02, 0x01, 0x2C}));
    Transaction error;
    error.command = Command::Error;
    error.errorCode = 5;
    EXPECT_EQ(EncodeTransaction(error), (Bytes{0x7F, 0x00, 0x00, 0x05}));

    // Every form decodes back to what was encoded.
    for (Transaction t : {open, credit, error}) {
        Bytes b = EncodeTransaction(t);
        Transaction back;
        ASSERT_EQ(DecodeTransaction(b.data(), b.size(), back), CodecError::None);
        EXPECT_EQ(EncodeTransaction(back), b);
    }
}

TEST(TransactionCodec, RejectsWrongSizesAndUnknownCodes) {
    const std::vector<Malformed> cases = {
        {"empty", {}, CodecError::MalformedCommand},
        {"Init without revision", {0x00}, CodecError::MalformedCommand},
        {"Init too long", {0x00, 0x10, 0x00}, CodecError::MalformedCommand},
        {"OpenChannel short", {0x01, 0x02, 0x02, 0x04}, CodecError::MalformedCommand},
        {"CreditRequest reply short", {0x84, 0x00, 0x02, 0x02, 0x00}, CodecError::MalformedCommand},
        {"GetSocketID without name", {0x09}, CodecError::MalformedCommand},
        {"GetSocketID with a control character", {0x09, 'A', 0x01}, CodecError::MalformedCommand},
        {"code 0x05", {0x05}, CodecError::UnknownCommand},
        {"a reply to Error", {0xFF, 0x00, 0x00, 0x00}, CodecError::UnknownCommand},
    };
    for (const Malformed& c : cases) {
        Transaction t;
        EXPECT_EQ(DecodeTransaction(c.bytes.data(), c.bytes.size(), t), c.expected) << c.what;
    }
    Bytes longName(1 + kMaxServiceName + 1, 'A');
    longName[0] = 0x09;
    Transaction t;
    EXPECT_EQ(DecodeTransaction(longName.data(), longName.size(), t), CodecError::MalformedCommand);
}

TEST(ControlCodec, MessagesHaveFixedSizes) {
    ControlMessage status;
    status.op = ControlOp::Status;
    status.reply = true;
    status.record[0] = 4;
    status.record[51] = 9;
    Bytes b = EncodeControl(status);
    ASSERT_EQ(b.size(), 54u);
    EXPECT_EQ(b[0], 0xA0);
    ControlMessage back;
    ASSERT_EQ(DecodeControl(b.data(), b.size(), back), CodecError::None);
    EXPECT_EQ(back.record, status.record);
    EXPECT_EQ(DecodeControl(b.data(), b.size() - 1, back), CodecError::MalformedCommand);

    ControlMessage write;
    write.op = ControlOp::WriteEeprom;
    write.address = 0xE0;
    write.value = 2;
    EXPECT_EQ(EncodeControl(write), (Bytes{0x11, 0xE0, 0x02}));
    const Bytes unknown{0x30, 0x00};
    EXPECT_EQ(DecodeControl(unknown.data(), unknown.size(), back), CodecError::UnknownCommand);
}

}  // namespace
}  // namespace d4
