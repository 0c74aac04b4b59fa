// The host end against the printer end through an in-memory link.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>

#include "chanlink/HostChannel.h"
#include "chanlink/HostSession.h"
#include "chanlink/Messages.h"
#include "chanlink/testing/Loopback.h"

namespace d4 {
namespace {

using testing::Fault;
using testing::LoopbackTransport;
using testing::MemoryPrinter;
using Bytes = std::vector<std::uint8_t>;

struct Rig {
    MemoryPrinter services;
    PrinterEndpoint printer{services};
    LoopbackTransport link{printer};
    HostChannel host{link};
};

Bytes Block(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
    return b;
}

TEST(HostChannel, NegotiationSpeaksTheDocumentedBytes) {
    Rig rig;
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    EXPECT_EQ(rig.link.resets(), 1);
    const auto& w = rig.link.written();
    ASSERT_EQ(w.size(), 5u);
    EXPECT_EQ(w[0], (Bytes{0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x10}));  // Init, revision 0x10
    Bytes getData{0x00, 0x00, 0x00, 0x15, 0x00, 0x00, 0x09};
    for (char c : std::string("SVC-PRINT-DATA")) getData.push_back(static_cast<std::uint8_t>(c));
    EXPECT_EQ(w[1], getData);
    // OpenChannel for the data socket: 1030 bytes towards the printer, 256 back.
    EXPECT_EQ(w[3], (Bytes{0x00, 0x00, 0x00, 0x0D, 0x00, 0x00, 0x01, 0x02, 0x02, 0x04, 0x06, 0x01, 0x00}));
    EXPECT_EQ(w[4], (Bytes{0x00, 0x00, 0x00, 0x0D, 0x00, 0x00, 0x01, 0x03, 0x03, 0x01, 0x00, 0x01, 0x00}));
    EXPECT_TRUE(rig.host.ready());
    EXPECT_FALSE(rig.printer.Failed());
}

TEST(HostChannel, EepromRoundTripsAtEveryAddress) {
    Rig rig;
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    for (int a = 0; a < 256; ++a)
        ASSERT_EQ(rig.host.WriteEeprom(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(255 - a)), kResultOk);
    for (int a = 0; a < 256; ++a) {
        EXPECT_EQ(rig.services.eeprom[a], 255 - a);
        std::uint8_t v = 0;
        ASSERT_EQ(rig.host.ReadEeprom(static_cast<std::uint8_t>(a), &v), kResultOk);
        EXPECT_EQ(v, 255 - a) << "address " << a;
    }
    // One request and one reply per byte, nothing more.
    EXPECT_EQ(rig.link.written().size(), 5u + 512u);
    const Bytes readReq{0x03, 0x03, 0x00, 0x08, 0x01, 0x00, 0x10, 0xFF};
    EXPECT_EQ(rig.link.written().back(), readReq);
}

TEST(HostChannel, StatusFillsExactlyTheRecord) {
    Rig rig;
    std::iota(rig.services.status.begin(), rig.services.status.end(), std::uint8_t{1});
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    std::array<std::uint8_t, 60> buffer;
    buffer.fill(0xEE);
    ASSERT_EQ(rig.host.InquireStatus(buffer.data()), kResultOk);
    for (std::size_t i = 0; i < 52; ++i) EXPECT_EQ(buffer[i], i + 1) << "byte " << i;
    for (std::size_t i = 52; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE) << "written past the record";
}

TEST(HostChannel, RefusalsKeepTheChannel) {
    Rig rig;
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    rig.services.refuseEeprom = true;
    std::uint8_t v = 0x55;
    EXPECT_EQ(rig.host.ReadEeprom(3, &v), kResultChannel);
    EXPECT_EQ(rig.host.detail(), detail::RefusedBase + result::Refused);
    EXPECT_EQ(v, 0x55);
    EXPECT_EQ(rig.host.WriteEeprom(3, 1), kResultChannel);
    EXPECT_EQ(rig.host.detail(), 0x0701);
    rig.services.refuseEeprom = false;
    EXPECT_EQ(rig.host.ReadEeprom(3, &v), kResultOk);
    EXPECT_EQ(rig.host.ReadEeprom(3, nullptr), kResultChannel);
    EXPECT_EQ(rig.host.detail(), detail::BadArgument);
}

TEST(HostChannel, DataUntilBusyThenRecovery) {
    Rig rig;
    rig.services.space = 3 * 1024 + 500;  // room for three packets' credit
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    Bytes expected;
    for (int i = 0; i < 3; ++i) {
        Bytes b = Block(1000, static_cast<std::uint8_t>(i));
        ASSERT_EQ(rig.host.SendData(b.data(), 1000), kResultOk);
        expected.insert(expected.end(), b.begin(), b.end());
    }
    Bytes refused = Block(1000, 99);
    EXPECT_EQ(rig.host.SendData(refused.data(), 1000), kResultChannel);
    EXPECT_EQ(rig.host.detail(), detail::Busy);
    EXPECT_EQ(rig.services.accepted, expected) << "a refused block must leave nothing behind";
    EXPECT_TRUE(rig.host.ready());

    // The printer drains its buffer; the same block is sent again, once.
    rig.services.space = 10000;
    ASSERT_EQ(rig.host.SendData(refused.data(), 1000), kResultOk);
    expected.insert(expected.end(), refused.begin(), refused.end());
    EXPECT_EQ(rig.services.accepted, expected);
    EXPECT_EQ(rig.host.SendData(nullptr, 0), kResultOk);  // an empty flush
}

TEST(HostChannel, CreditIsGrantedAhead) {
    Rig rig;
    rig.services.space = 4 << 20;
    rig.services.drainsAtOnce = true;  // the room never shrinks: only the cap limits a grant
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    const std::size_t before = rig.link.written().size();
    Bytes block = Block(1000, 1);
    for (int i = 0; i < 2500; ++i) ASSERT_EQ(rig.host.SendData(block.data(), 1000), kResultOk);
    // The open channel brought the most credit a side may hold; each time it
    // ran out one CreditRequest, asking for that much again, refilled it.
    EXPECT_EQ(rig.link.written().size() - before, 2502u);
    const Bytes request{0x00, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x04, 0x02, 0x02, 0x04, 0x00};
    EXPECT_EQ(rig.link.written()[before + kMaxCredit], request);
    EXPECT_EQ(rig.link.written()[before + 2 * kMaxCredit + 1], request);
    EXPECT_EQ(rig.services.accepted.size(), 2500000u);
}

TEST(HostChannel, CreditGrantedAheadNeverExceedsTheRoom) {
    Rig rig;
    rig.services.space = 300 * 1024 + 500;  // room for 300 full packets
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    const std::size_t before = rig.link.written().size();
    Bytes block = Block(1024, 2);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(rig.host.SendData(block.data(), 1024), kResultOk);
    EXPECT_EQ(rig.link.written().size() - before, 300u) << "all 300 blocks were covered by the open channel's grant";
    EXPECT_EQ(rig.host.SendData(block.data(), 1024), kResultChannel);
    EXPECT_EQ(rig.host.detail(), detail::Busy);
    EXPECT_EQ(rig.link.written().size() - before, 303u) << "three CreditRequests and nothing of the block";
    EXPECT_EQ(rig.services.accepted.size(), 300u * 1024u);
}

TEST(HostChannel, LongSendsAreSplitAndComplete) {
    Rig rig;
    rig.services.space = 1 << 20;
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    Bytes big = Block(200000, 3);
    ASSERT_EQ(rig.host.SendData(big.data(), static_cast<std::uint32_t>(big.size())), kResultOk);
    EXPECT_EQ(rig.services.accepted, big);
    for (const Bytes& packet : rig.link.written()) EXPECT_LE(packet.size(), kDataMaxPacket);
}

TEST(HostChannel, LongSendThatStallsIsBusyAndItsResendSendsOnlyTheRest) {
    Rig rig;
    rig.services.space = 100 * 1024;
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    Bytes big = Block(200 * 1024, 3);
    EXPECT_EQ(rig.host.SendData(big.data(), static_cast<std::uint32_t>(big.size())), kResultChannel);
    EXPECT_EQ(rig.host.detail(), detail::Busy);
    const std::size_t taken = rig.services.accepted.size();
    EXPECT_GT(taken, 0u);
    // Resent while the buffer is still full: nothing more, nothing twice.
    EXPECT_EQ(rig.host.SendData(big.data(), static_cast<std::uint32_t>(big.size())), kResultChannel);
    EXPECT_EQ(rig.host.detail(), detail::Busy);
    EXPECT_EQ(rig.services.accepted.size(), taken);
    rig.services.space = 1 << 20;
    ASSERT_EQ(rig.host.SendData(big.data(), static_cast<std::uint32_t>(big.size())), kResultOk);
    EXPECT_EQ(rig.services.accepted, big);
}

TEST(HostChannel, SendLargerThanThePrinterCanEverHoldGoesOutInParts) {
    // A 16 KiB buffer holds 16 packets of 1024 bytes; one byte more needs a
    // 17th. The printer is idle: between the program's resends it prints
    // what it holds, so every resend finds the buffer empty again.
    Rig rig;
    rig.services.space = 16 * 1024;
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    const Bytes big = Block(16 * 1024 + 1, 4);
    int busy = 0;
    std::uint16_t r;
    while ((r = rig.host.SendData(big.data(), static_cast<std::uint32_t>(big.size()))) != kResultOk && busy < 10) {
        ASSERT_EQ(rig.host.detail(), detail::Busy);
        ++busy;
        rig.services.space = 16 * 1024;
    }
    EXPECT_EQ(r, kResultOk);
    EXPECT_LE(busy, 1) << "busy answered again and again for a send the printer can never hold whole";
    EXPECT_EQ(rig.services.accepted, big);
    EXPECT_FALSE(rig.printer.Failed());

    // The same with a printer that drains as fast as data comes: no busy at all.
    Rig fast;
    fast.services.space = 16 * 1024;
    fast.services.drainsAtOnce = true;
    ASSERT_EQ(fast.host.Negotiate(), kResultOk);
    ASSERT_EQ(fast.host.SendData(big.data(), static_cast<std::uint32_t>(big.size())), kResultOk);
    EXPECT_EQ(fast.services.accepted, big);
}

TEST(HostChannel, SendGivenUpAfterBusyDoesNotTrimTheNextOne) {
    Rig rig;
    rig.services.space = 4 * 1024;
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    const Bytes first = Block(6 * 1024, 5);
    ASSERT_EQ(rig.host.SendData(first.data(), static_cast<std::uint32_t>(first.size())), kResultChannel);
    ASSERT_EQ(rig.host.detail(), detail::Busy);
    const std::size_t taken = rig.services.accepted.size();
    // The caller sends something else instead: it goes whole.
    rig.services.space = 1 << 20;
    const Bytes other = Block(6 * 1024, 6);
    ASSERT_EQ(rig.host.SendData(other.data(), static_cast<std::uint32_t>(other.size())), kResultOk);
    EXPECT_TRUE(
        std::equal(other.begin(), other.end(), rig.services.accepted.begin() + static_cast<std::ptrdiff_t>(taken)));
    EXPECT_EQ(rig.services.accepted.size(), taken + other.size());
}

// A control reply the printer sends without being asked, with credit for the host.
Bytes UnaskedWriteReply(std::uint8_t address, std::uint8_t value) {
    ControlMessage m;
    m.op = ControlOp::WriteEeprom;
    m.reply = true;
    m.address = address;
    m.value = value;
    Bytes payload = EncodeControl(m);
    return EncodePacket(kControlSocket, kControlSocket, 1, payload.data(), payload.size());
}

TEST(HostChannel, RepliesWaitingBeforeTheRequestAnswerNothing) {
    Rig rig;
    // After the negotiation's last reply the printer adds a write reply of its own.
    rig.link.tamper = [](std::size_t write, Bytes& answer) {
        if (write == 4) {
            const Bytes stale = UnaskedWriteReply(0x40, 1);
            answer.insert(answer.end(), stale.begin(), stale.end());
        }
    };
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    rig.link.tamper = nullptr;
    // The printer refuses the write; the waiting "done" must not stand in for that.
    rig.services.refuseEeprom = true;
    EXPECT_EQ(rig.host.WriteEeprom(0x40, 1), kResultChannel);
    EXPECT_EQ(rig.host.detail(), detail::RefusedBase + result::Refused);
    rig.services.refuseEeprom = false;
    ASSERT_EQ(rig.host.WriteEeprom(0x40, 1), kResultOk);
    EXPECT_EQ(rig.services.eeprom[0x40], 1);
    // And the requests after it get their own answers.
    rig.services.status[0] = 4;
    std::uint8_t record[52] = {};
    ASSERT_EQ(rig.host.InquireStatus(record), kResultOk);
    EXPECT_EQ(record[0], 4);
    EXPECT_TRUE(rig.host.ready());
    EXPECT_FALSE(rig.printer.Failed());
}

TEST(HostChannel, APrinterThatKeepsTalkingUnaskedIsAProtocolError) {
    Rig rig;
    rig.link.tamper = [](std::size_t write, Bytes& answer) {
        if (write == 4)
            for (int i = 0; i < 1000; ++i) {
                const Bytes stale = UnaskedWriteReply(0x40, 1);
                answer.insert(answer.end(), stale.begin(), stale.end());
            }
    };
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    std::uint8_t v = 0;
    EXPECT_EQ(rig.host.ReadEeprom(0x40, &v), kResultChannel);
    EXPECT_EQ(rig.host.detail(), detail::Protocol);
    EXPECT_FALSE(rig.host.ready());
}

TEST(HostChannel, TerminationEndsTheChannelCleanly) {
    Rig rig;
    ASSERT_EQ(rig.host.Negotiate(), kResultOk);
    EXPECT_EQ(rig.host.Terminate(), kResultOk);
    EXPECT_FALSE(rig.host.ready());
    EXPECT_FALSE(rig.printer.Failed());
    std::uint8_t v;
    EXPECT_EQ(rig.host.ReadEeprom(0, &v), kResultChannel);
    EXPECT_EQ(rig.host.detail(), detail::NotNegotiated);
    EXPECT_EQ(rig.host.Negotiate(), kResultOk);
    EXPECT_EQ(rig.host.ReadEeprom(0, &v), kResultOk);
}

TEST(PrinterEndpoint, ProtocolErrorsEndTheConversationUntilReset) {
    MemoryPrinter services;
    PrinterEndpoint printer(services);
    const Bytes init{0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x10};
    Bytes answer = printer.Receive(init.data(), init.size());
    EXPECT_EQ(answer, (Bytes{0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x80, 0x00, 0x10}));

    // Data for the print socket before any channel is open.
    const Bytes stray{0x02, 0x02, 0x00, 0x07, 0x00, 0x00, 0x41};
    answer = printer.Receive(stray.data(), stray.size());
    EXPECT_EQ(answer, (Bytes{0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x03}));
    EXPECT_TRUE(printer.Failed());
    EXPECT_NE(std::string(printer.LastError()), "");
    EXPECT_TRUE(printer.Receive(init.data(), init.size()).empty());

    printer.Reset();
    EXPECT_FALSE(printer.Failed());
    EXPECT_EQ(printer.Receive(init.data(), init.size()).size(), 9u);

    // The host giving up: not answered, and nothing after it either.
    const Bytes error{0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x06};
    EXPECT_TRUE(printer.Receive(error.data(), error.size()).empty());
    EXPECT_TRUE(printer.Failed());
    EXPECT_TRUE(printer.Receive(init.data(), init.size()).empty());
}

TEST(PrinterEndpoint, AnswersCommandsBeforeInitWithNotInitialized) {
    MemoryPrinter services;
    PrinterEndpoint printer(services);
    const Bytes exitCmd{0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x08};
    EXPECT_EQ(printer.Receive(exitCmd.data(), exitCmd.size()),
              (Bytes{0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x88, result::NotInitialized}));
    EXPECT_FALSE(printer.Failed());
}

TEST(PrinterEndpoint, HoldsRepliesUntilTheHostGrantsCredit) {
    MemoryPrinter services;
    services.eeprom[7] = 0x42;
    PrinterEndpoint printer(services);
    auto send = [&](const Bytes& b) { return printer.Receive(b.data(), b.size()); };
    Transaction init;
    init.revision = kProtocolRevision;
    auto txn = [](const Transaction& t) {
        Bytes p = EncodeTransaction(t);
        return EncodePacket(0, 0, 0, p.data(), p.size());
    };
    ASSERT_FALSE(send(txn(init)).empty());
    Transaction open;
    open.command = Command::OpenChannel;
    open.psid = open.ssid = kControlSocket;
    open.maxHostToPrinter = open.maxPrinterToHost = 256;
    ASSERT_FALSE(send(txn(open)).empty());
    // A read request that grants no credit for the reply: the reply waits.
    ControlMessage read;
    read.address = 7;
    Bytes req = EncodeControl(read);
    EXPECT_TRUE(send(EncodePacket(kControlSocket, kControlSocket, 0, req.data(), req.size())).empty());
    Transaction credit;
    credit.command = Command::Credit;
    credit.psid = credit.ssid = kControlSocket;
    credit.credit = 1;
    Bytes out = send(txn(credit));
    // The Credit reply, then the held EEPROM reply.
    ASSERT_EQ(out.size(), 10u + 10u);
    EXPECT_EQ(Bytes(out.begin() + 10, out.end()), (Bytes{0x03, 0x03, 0x00, 0x0A, 0x01, 0x00, 0x90, 0x00, 0x07, 0x42}));
}

TEST(PrinterEndpoint, RepliesHeldForCreditAreNotLetPileUp) {
    MemoryPrinter services;
    PrinterEndpoint printer(services);
    auto send = [&](const Bytes& b) { return printer.Receive(b.data(), b.size()); };
    auto txn = [](const Transaction& t) {
        Bytes p = EncodeTransaction(t);
        return EncodePacket(0, 0, 0, p.data(), p.size());
    };
    Transaction init;
    init.revision = kProtocolRevision;
    ASSERT_FALSE(send(txn(init)).empty());
    Transaction open;
    open.command = Command::OpenChannel;
    open.psid = open.ssid = kControlSocket;
    open.maxHostToPrinter = open.maxPrinterToHost = 256;
    ASSERT_FALSE(send(txn(open)).empty());
    // Two requests that grant nothing for their replies: both are held.
    ControlMessage read;
    Bytes req = EncodeControl(read);
    const Bytes request = EncodePacket(kControlSocket, kControlSocket, 0, req.data(), req.size());
    EXPECT_TRUE(send(request).empty());
    EXPECT_TRUE(send(request).empty());
    // Asking for more credit meanwhile brings none: the held replies count.
    Transaction more;
    more.command = Command::CreditRequest;
    more.psid = more.ssid = kControlSocket;
    more.credit = 100;
    Bytes answer = send(txn(more));
    Transaction granted;
    ASSERT_EQ(DecodeTransaction(answer.data() + kHeaderSize, answer.size() - kHeaderSize, granted), CodecError::None);
    EXPECT_EQ(granted.result, result::Ok);
    EXPECT_EQ(granted.credit, 0);
    // A third request has no credit: a protocol error, not a third held reply.
    answer = send(request);
    EXPECT_EQ(answer, (Bytes{0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x05}));
    EXPECT_TRUE(printer.Failed());
}

struct BadReply {
    const char* what;
    std::size_t write;  // which of the host's packets gets the bad answer
    std::function<void(Bytes&)> change;
    std::uint16_t detail;
};

TEST(HostChannel, RejectsRepliesThatDoNotFitTheRequest) {
    // Writes 0-4 are the negotiation, write 5 is an EEPROM read of 0x10.
    const std::vector<BadReply> cases = {
        {"Init answered with another revision", 0, [](Bytes& a) { a[8] = 0x11; }, detail::Protocol},
        {"Init refused", 0, [](Bytes& a) { a[7] = result::BadRevision; }, detail::RefusedBase + 0x02},
        {"Error instead of a reply", 0,
         [](Bytes& a) { a = {0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x02}; },
         detail::PrinterProtocolBase + 0x02},
        {"a reply cut short", 0, [](Bytes& a) { a.pop_back(); }, detail::ReadTimeout},
        {"length field below 6", 0, [](Bytes& a) { a[3] = 0x04; }, detail::Protocol},
        {"socket 0 for the print data", 1, [](Bytes& a) { a[8] = 0x00; }, detail::Protocol},
        {"OpenChannel answered for another socket", 3, [](Bytes& a) { a[8] = 0x03; }, detail::Protocol},
        {"packet size raised above the offer", 3, [](Bytes& a) { a[11] = 0x07; }, detail::Protocol},
        {"initial credit above the cap", 3, [](Bytes& a) { a[14] = a[15] = 0xFF; }, detail::Protocol},
        {"EEPROM reply for another address", 5, [](Bytes& a) { a[8] = 0x11; }, detail::Protocol},
        {"EEPROM reply on the data socket", 5, [](Bytes& a) { a[0] = a[1] = 0x02; }, detail::Protocol},
    };
    for (const BadReply& c : cases) {
        Rig rig;
        rig.link.tamper = [&](std::size_t write, Bytes& answer) {
            if (write == c.write) c.change(answer);
        };
        std::uint16_t r = rig.host.Negotiate();
        if (r == kResultOk) {
            std::uint8_t v;
            r = rig.host.ReadEeprom(0x10, &v);
        }
        EXPECT_EQ(r, kResultChannel) << c.what;
        EXPECT_EQ(rig.host.detail(), c.detail) << c.what;
        EXPECT_FALSE(rig.host.ready()) << c.what;
    }
}

// ---- the program-wide session behind the C functions ----

struct SessionRig {
    MemoryPrinter services;
    PrinterEndpoint printer{services};
    std::unique_ptr<LoopbackTransport> port = std::make_unique<LoopbackTransport>(printer);
    hb::Transport* open = port.get();
    HostSession session{[this] { return open; }};

    // Closing and opening the port gives a new transport to the same printer.
    void Reopen() {
        port = std::make_unique<LoopbackTransport>(printer);
        open = port.get();
    }
};

TEST(HostSession, NewNegotiationAfterReopenWithoutTermination) {
    SessionRig rig;
    ASSERT_EQ(rig.session.Negotiate(), kResultOk);
    ASSERT_EQ(rig.session.WriteEeprom(0x20, 9), kResultOk);

    rig.Reopen();
    std::uint8_t v = 0;
    EXPECT_EQ(rig.session.ReadEeprom(0x20, &v), kResultChannel);
    EXPECT_EQ(rig.session.ErrorCode(), detail::NotNegotiated);
    // The printer still has the old channels open; the reset makes it forget.
    ASSERT_EQ(rig.session.Negotiate(), kResultOk);
    EXPECT_EQ(rig.port->resets(), 1);
    ASSERT_EQ(rig.session.ReadEeprom(0x20, &v), kResultOk);
    EXPECT_EQ(v, 9);
    std::uint8_t record[52];
    EXPECT_EQ(rig.session.InquireStatus(record), kResultOk);
    EXPECT_FALSE(rig.printer.Failed());
}

TEST(HostSession, PortOpenedAgainAtTheSameAddressNeedsANewNegotiation) {
    MemoryPrinter services;
    PrinterEndpoint printer{services};
    LoopbackTransport port{printer};
    std::uint64_t generation = 1;
    HostSession session{[&] { return &port; }, {}, [&] { return generation; }};
    ASSERT_EQ(session.Negotiate(), kResultOk);
    std::uint8_t v = 0;
    ASSERT_EQ(session.ReadEeprom(0x20, &v), kResultOk);

    ++generation;  // closed and opened again; the transport object is the same
    EXPECT_EQ(session.ReadEeprom(0x20, &v), kResultChannel);
    EXPECT_EQ(session.ErrorCode(), detail::NotNegotiated);
    ASSERT_EQ(session.Negotiate(), kResultOk);
    EXPECT_EQ(session.ReadEeprom(0x20, &v), kResultOk);
}

TEST(HostSession, ReportsNoPortAndNoChannel) {
    SessionRig rig;
    std::uint8_t v;
    EXPECT_EQ(rig.session.ReadEeprom(0, &v), kResultChannel);
    EXPECT_EQ(rig.session.ErrorCode(), detail::NotNegotiated);
    rig.open = nullptr;
    EXPECT_EQ(rig.session.Negotiate(), kResultChannel);
    EXPECT_EQ(rig.session.ErrorCode(), detail::NoPort);
    EXPECT_EQ(rig.session.SendData(reinterpret_cast<const std::uint8_t*>("x"), 1), kResultChannel);
    EXPECT_EQ(rig.session.ErrorCode(), detail::NoPort);
    EXPECT_EQ(rig.session.Terminate(), kResultOk);  // nothing to end

    rig.open = rig.port.get();
    ASSERT_EQ(rig.session.Negotiate(), kResultOk);
    EXPECT_EQ(rig.session.Terminate(), kResultOk);
    EXPECT_EQ(rig.session.ReadEeprom(0, &v), kResultChannel);
    EXPECT_EQ(rig.session.ErrorCode(), detail::NotNegotiated);
    EXPECT_EQ(rig.session.SetCommandRCode(6, 22), kResultOk);
    EXPECT_EQ(rig.session.commandFirst(), 6);
    EXPECT_EQ(rig.session.commandSecond(), 22);
}

TEST(HostSession, BusyIsReportedAsFiftyOne) {
    SessionRig rig;
    rig.services.space = 0;
    ASSERT_EQ(rig.session.Negotiate(), kResultOk);
    Bytes b = Block(1000, 0);
    EXPECT_EQ(rig.session.SendData(b.data(), 1000), kResultChannel);
    EXPECT_EQ(rig.session.ErrorCode(), 51);
    rig.services.space = 4096;
    EXPECT_EQ(rig.session.SendData(b.data(), 1000), kResultOk);
    EXPECT_EQ(rig.services.accepted, b);
}

// ---- time: the read deadline, and what is waited for ----

// A printer that takes its time to answer, on a clock of the test's own: the
// answer to each request is due `answerAfterMs` after it was written. A read
// waits on that clock at most its deadline: when the bytes are due within
// it, the clock moves on to them; otherwise it moves on by the whole
// deadline and the read times out, consuming nothing. No wall time passes.
class SlowLink : public hb::Transport {
public:
    explicit SlowLink(PrinterEndpoint& printer) : link_(printer) {}

    int answerAfterMs = 0;
    // The clock, and the part of it spent in reads that timed out.
    long long nowMs = 0;
    long long timedOutMs = 0;

    hb::IoStatus Write(const std::uint8_t* data, std::size_t n, int timeoutMs) override {
        dueMs_ = nowMs + answerAfterMs;
        return link_.Write(data, n, timeoutMs);
    }
    hb::IoStatus Read(std::uint8_t* data, std::size_t n, int timeoutMs) override {
        const long long deadline = nowMs + std::max(timeoutMs, 0);
        if (dueMs_ > deadline) return TimedOut(deadline);
        nowMs = std::max(nowMs, dueMs_);
        const hb::IoStatus s = link_.Read(data, n, 0);
        return s == hb::IoStatus::Timeout ? TimedOut(deadline) : s;
    }
    hb::IoStatus ReadDeviceId(std::string& raw) override { return link_.ReadDeviceId(raw); }
    hb::IoStatus Reset() override { return link_.Reset(); }

private:
    hb::IoStatus TimedOut(long long deadline) {
        timedOutMs += deadline - nowMs;
        nowMs = deadline;
        return hb::IoStatus::Timeout;
    }

    LoopbackTransport link_;
    long long dueMs_ = 0;
};

struct SlowRig {
    MemoryPrinter services;
    PrinterEndpoint printer{services};
    SlowLink link{printer};
    // The deadlines the program's own session uses.
    HostSession session{[this] { return &link; }};
};

// A printer that answers within the 2 s read deadline is slow, not lost.
TEST(HostTime, APrinterAnsweringAfterOneAndAHalfSecondsIsNotLost) {
    SlowRig rig;
    rig.link.answerAfterMs = 1500;
    ASSERT_EQ(rig.session.Negotiate(), kResultOk);
    ASSERT_EQ(rig.session.WriteEeprom(0x30, 7), kResultOk);
    std::uint8_t v = 0;
    ASSERT_EQ(rig.session.ReadEeprom(0x30, &v), kResultOk);
    EXPECT_EQ(v, 7);
    std::uint8_t record[52];
    EXPECT_EQ(rig.session.InquireStatus(record), kResultOk);
    const std::uint8_t block[3] = {1, 2, 3};
    EXPECT_EQ(rig.session.SendData(block, 3), kResultOk);
    EXPECT_EQ(rig.link.timedOutMs, 0);

    // One that has not answered after 2 s is given up, after exactly that long.
    rig.link.answerAfterMs = 2001;
    const long long before = rig.link.nowMs;
    EXPECT_EQ(rig.session.ReadEeprom(0x30, &v), kResultChannel);
    EXPECT_EQ(rig.session.ErrorCode(), detail::ReadTimeout);
    EXPECT_EQ(rig.link.nowMs - before, 2000);
}

// Before each request the channel clears replies nobody asked for; it takes
// only what has arrived already and waits for nothing.
TEST(HostTime, ClearingUnaskedRepliesWaitsForNothing) {
    SlowRig rig;
    ASSERT_EQ(rig.session.Negotiate(), kResultOk);
    std::uint8_t v = 0;
    for (int i = 0; i < 50; ++i) ASSERT_EQ(rig.session.ReadEeprom(static_cast<std::uint8_t>(i), &v), kResultOk);
    EXPECT_EQ(rig.link.timedOutMs, 0);
    EXPECT_EQ(rig.link.nowMs, 0);

    // A printer that answers 1.5 s late costs 1.5 s per request, nothing more.
    rig.link.answerAfterMs = 1500;
    for (int i = 0; i < 10; ++i) ASSERT_EQ(rig.session.ReadEeprom(static_cast<std::uint8_t>(i), &v), kResultOk);
    EXPECT_EQ(rig.link.nowMs, 10 * 1500);
    EXPECT_EQ(rig.link.timedOutMs, 0);
}

// ---- the link failing at every packet boundary ----

using Operation = std::function<std::uint16_t(HostChannel&)>;

struct NamedOperation {
    const char* name;
    Operation run;
    // Packets at the end of the operation that no reply follows: a printer
    // that is switched off just before them cannot be noticed.
    int unansweredTail = 0;
};

std::vector<NamedOperation> Operations() {
    static const Bytes block = Block(1000, 5);
    return {
        {"negotiate", [](HostChannel& h) { return h.Negotiate(); }},
        {"read",
         [](HostChannel& h) {
             std::uint8_t v;
             return h.ReadEeprom(0x40, &v);
         }},
        {"write", [](HostChannel& h) { return h.WriteEeprom(0x40, 1); }},
        {"status",
         [](HostChannel& h) {
             std::uint8_t r[52];
             return h.InquireStatus(r);
         }},
        {"data",
         [](HostChannel& h) {
             // Three blocks: the third needs a CreditRequest (space for two ahead).
             for (int i = 0; i < 3; ++i)
                 if (std::uint16_t r = h.SendData(block.data(), 1000); r != kResultOk) return r;
             return kResultOk;
         },
         1},
        {"terminate", [](HostChannel& h) { return h.Terminate(); }},
    };
}

void RunWithFaultAt(const NamedOperation& op, Fault fault, int boundary, int& packetsInCleanRun) {
    MemoryPrinter services;
    services.space = 2 * 1024;
    services.drainsAtOnce = true;
    PrinterEndpoint printer(services);
    LoopbackTransport link(printer);
    HostChannel host(link);
    if (std::string(op.name) != "negotiate") {
        ASSERT_EQ(host.Negotiate(), kResultOk);
    }
    const int start = link.packetsCrossed();
    if (boundary >= 0) link.ArmFault(fault, boundary);
    const std::uint16_t r = op.run(host);
    packetsInCleanRun = link.packetsCrossed() - start;
    if (boundary < 0) {
        ASSERT_EQ(r, kResultOk) << op.name;
        return;
    }
    EXPECT_EQ(r, kResultChannel) << op.name << " boundary " << boundary;
    const std::uint16_t d = host.detail();
    const std::uint16_t expected = fault == Fault::Dropped ? detail::PortClosed : detail::ReadTimeout;
    EXPECT_EQ(d, expected) << op.name << " boundary " << boundary;
    EXPECT_FALSE(host.ready());
}

TEST(HostChannelFaults, EveryOperationFailsAtEveryPacketBoundary) {
    for (const NamedOperation& op : Operations()) {
        int clean = 0;
        RunWithFaultAt(op, Fault::None, -1, clean);
        ASSERT_GT(clean, 0) << op.name;
        int ignored = 0;
        for (int boundary = 0; boundary < clean; ++boundary) RunWithFaultAt(op, Fault::Dropped, boundary, ignored);
        for (int boundary = 0; boundary < clean - op.unansweredTail; ++boundary)
            RunWithFaultAt(op, Fault::PoweredOff, boundary, ignored);
    }
}

TEST(HostChannelFaults, ANewPortRecoversAfterAFailure) {
    MemoryPrinter services;
    PrinterEndpoint printer(services);
    LoopbackTransport first(printer);
    HostTiming timing;
    timing.readTimeoutMs = 150;
    timing.writeTimeoutMs = 250;
    HostChannel host(first, timing);
    ASSERT_EQ(host.Negotiate(), kResultOk);
    first.ArmFault(Fault::PoweredOff, 1);  // the request goes out, no reply comes
    std::uint8_t v;
    EXPECT_EQ(host.ReadEeprom(1, &v), kResultChannel);
    EXPECT_EQ(host.detail(), detail::ReadTimeout);
    // The silent printer was waited for with the deadlines given, no longer.
    EXPECT_EQ(first.lastReadTimeout(), 150);
    EXPECT_EQ(first.lastWriteTimeout(), 250);
    EXPECT_EQ(host.ReadEeprom(1, &v), kResultChannel);
    EXPECT_EQ(host.detail(), detail::NotNegotiated);

    LoopbackTransport second(printer);
    HostChannel again(second);
    ASSERT_EQ(again.Negotiate(), kResultOk);
    EXPECT_EQ(again.ReadEeprom(1, &v), kResultOk);
}

}  // namespace
}  // namespace d4
