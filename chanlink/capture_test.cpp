// The capture file: its exact bytes, reading it back, and the host's
// capture of a whole conversation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "chanlink/Capture.h"
#include "chanlink/HostSession.h"
#include "chanlink/testing/Loopback.h"

namespace d4 {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string(name) + std::to_string(::getpid()))).string();
}

Bytes FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(Capture, WritesTheDocumentedLayoutAndReadsItBack) {
    const std::string path = TempPath("d4cap_layout");
    {
        CaptureWriter w;
        ASSERT_TRUE(w.Open(path)) << w.Error();
        const Bytes a{0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x08};
        w.RecordAt(0x0102030405060708ull, Direction::HostToPrinter, a.data(), a.size());
        w.RecordAt(5, Direction::PrinterToHost, nullptr, 0);
    }
    const Bytes expected{'D',  '4',  'C',  'A',  'P',  '1',  '\n', 0x00, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03,
                         0x02, 0x01, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x08,
                         0x05, 0,    0,    0,    0,    0,    0,    0,    0x01, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(FileBytes(path), expected);

    CaptureReader r;
    ASSERT_TRUE(r.Open(path)) << r.Error();
    CaptureRecord rec;
    ASSERT_TRUE(r.Next(rec));
    EXPECT_EQ(rec.micros, 0x0102030405060708ull);
    EXPECT_EQ(rec.direction, Direction::HostToPrinter);
    EXPECT_EQ(rec.bytes.size(), 7u);
    ASSERT_TRUE(r.Next(rec));
    EXPECT_EQ(rec.direction, Direction::PrinterToHost);
    EXPECT_TRUE(rec.bytes.empty());
    EXPECT_FALSE(r.Next(rec));
    EXPECT_EQ(r.Error(), "");
    std::filesystem::remove(path);
}

TEST(Capture, ReaderRejectsDamagedFiles) {
    CaptureReader r;
    EXPECT_FALSE(r.Load(Bytes{'D', '4', 'C', 'A', 'P', '2', '\n', 0}));
    EXPECT_FALSE(r.Open("/nonexistent/dir/capture"));
    EXPECT_NE(r.Error(), "");

    Bytes file(kCaptureMagic, kCaptureMagic + 8);
    const Bytes head{1, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0};  // claims 9 bytes
    file.insert(file.end(), head.begin(), head.end());
    file.insert(file.end(), 4, 0xAA);  // only 4 follow
    ASSERT_TRUE(r.Load(file));
    CaptureRecord rec;
    EXPECT_FALSE(r.Next(rec));
    EXPECT_NE(r.Error().find("truncated"), std::string::npos);

    file.resize(8 + 5);  // a record header cut short
    ASSERT_TRUE(r.Load(file));
    EXPECT_FALSE(r.Next(rec));
    EXPECT_NE(r.Error(), "");

    CaptureWriter w;
    EXPECT_FALSE(w.Open("/nonexistent/dir/capture"));
    EXPECT_NE(w.Error(), "");
}

// A capture used to truncate whatever had the name, and to write through a
// symbolic link planted there.
TEST(Capture, KeepsExistingFilesAndNeverFollowsALink) {
    namespace fs = std::filesystem;
    const fs::path dir = TempPath("d4cap_existing");
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string file = (dir / "earlier.cap").string();
    const std::string victim = (dir / "victim").string();
    const std::string link = (dir / "link.cap").string();
    const std::string fifo = (dir / "fifo.cap").string();
    std::ofstream(file) << "keep me";
    std::ofstream(victim) << "mine";
    fs::create_symlink(victim, link);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const Bytes kept{'k', 'e', 'e', 'p', ' ', 'm', 'e'};

    CaptureWriter w;
    EXPECT_FALSE(w.Open(file));
    EXPECT_NE(w.Error().find("exists already"), std::string::npos) << w.Error();
    EXPECT_EQ(FileBytes(file), kept);
    for (bool replace : {false, true}) {
        SCOPED_TRACE(replace);
        EXPECT_FALSE(w.Open(link, replace));
        EXPECT_FALSE(w.IsOpen());
        EXPECT_EQ(FileBytes(victim), (Bytes{'m', 'i', 'n', 'e'}));
        // Refused at once, not waited on for a reader.
        EXPECT_FALSE(w.Open(fifo, replace));
        EXPECT_TRUE(fs::is_fifo(fifo));
    }
    HostSession session([] { return nullptr; });
    EXPECT_FALSE(session.StartCapture(file));
    EXPECT_EQ(FileBytes(file), kept);

    // Asked to, a regular file is replaced whole, and a new one is private.
    ASSERT_TRUE(w.Open(file, true)) << w.Error();
    w.Close();
    EXPECT_EQ(FileBytes(file), Bytes(kCaptureMagic, kCaptureMagic + 8));
    ASSERT_TRUE(w.Open((dir / "new.cap").string())) << w.Error();
    w.Close();
    struct stat st {};
    ASSERT_EQ(::stat((dir / "new.cap").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    fs::remove_all(dir);
}

TEST(Capture, HostRecordsEveryPacketBothWays) {
    const std::string path = TempPath("d4cap_session");
    testing::MemoryPrinter services;
    PrinterEndpoint printer(services);
    testing::LoopbackTransport link(printer);
    {
        HostSession session([&] { return &link; });
        ASSERT_TRUE(session.StartCapture(path));
        ASSERT_EQ(session.Negotiate(), kResultOk);
        ASSERT_EQ(session.WriteEeprom(1, 2), kResultOk);
        const std::uint8_t data[3] = {1, 2, 3};
        ASSERT_EQ(session.SendData(data, 3), kResultOk);
        ASSERT_EQ(session.Terminate(), kResultOk);
    }
    CaptureReader r;
    ASSERT_TRUE(r.Open(path));
    CaptureRecord rec;
    std::vector<CaptureRecord> all;
    while (r.Next(rec)) all.push_back(rec);
    EXPECT_EQ(r.Error(), "");
    // Negotiation 5+5, EEPROM write 1+1, data 1+0, termination 3+3.
    ASSERT_EQ(all.size(), 19u);
    EXPECT_EQ(all.size(), static_cast<std::size_t>(link.packetsCrossed()));
    std::size_t sent = 0;
    std::uint64_t last = 0;
    for (const CaptureRecord& c : all) {
        if (c.direction == Direction::HostToPrinter) {
            EXPECT_EQ(c.bytes, link.written()[sent++]);
        }
        EXPECT_GE(c.micros, last);
        last = c.micros;
        EXPECT_EQ(DecodeHeader(c.bytes.data()).length, c.bytes.size());
    }
    EXPECT_EQ(sent, link.written().size());
    EXPECT_EQ(all[1].direction, Direction::PrinterToHost);
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace d4
