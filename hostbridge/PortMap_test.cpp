#include "hostbridge/PortMap.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using hb::PortKind;
using hb::PortTarget;

TEST(PortMap, PortNamesAndDefaults) {
    EXPECT_EQ(hb::PortCodeFromName("LPT1"), 1028);
    EXPECT_EQ(hb::PortCodeFromName("LPT3"), 1030);
    EXPECT_EQ(hb::PortCodeFromName("ZQUSB1"), 1025);
    EXPECT_EQ(hb::PortCodeFromName("ZQUSB3"), 1027);
    EXPECT_FALSE(hb::PortCodeFromName("LPT4"));
    EXPECT_FALSE(hb::PortCodeFromName("lpt1"));
    EXPECT_STREQ(hb::PortName(1026), "ZQUSB2");
    EXPECT_EQ(hb::PortName(1024), nullptr);
    EXPECT_EQ(hb::PortName(1031), nullptr);

    EXPECT_EQ(hb::DefaultTarget(1028), (PortTarget{PortKind::Parport, "/dev/parport0"}));
    EXPECT_EQ(hb::DefaultTarget(1030), (PortTarget{PortKind::Parport, "/dev/parport2"}));
    EXPECT_EQ(hb::DefaultTarget(1025), (PortTarget{PortKind::UsbLp, "/dev/usb/lp0"}));
    EXPECT_EQ(hb::DefaultTarget(1027), (PortTarget{PortKind::UsbLp, "/dev/usb/lp2"}));
}

TEST(PortMap, TargetForms) {
    std::string why;
    EXPECT_EQ(hb::ParseTarget("unix:/run/user/1000/vprinter.sock", why),
              (PortTarget{PortKind::UnixSocket, "/run/user/1000/vprinter.sock"}));
    EXPECT_EQ(hb::ParseTarget(" usblp:/dev/usb/lp3 ", why), (PortTarget{PortKind::UsbLp, "/dev/usb/lp3"}));
    EXPECT_EQ(hb::ParseTarget("parport:/dev/parport1", why), (PortTarget{PortKind::Parport, "/dev/parport1"}));
    // Bare paths are recognised by their name.
    EXPECT_EQ(hb::ParseTarget("/dev/usb/lp1", why), (PortTarget{PortKind::UsbLp, "/dev/usb/lp1"}));
    EXPECT_EQ(hb::ParseTarget("/dev/usblp0", why), (PortTarget{PortKind::UsbLp, "/dev/usblp0"}));
    EXPECT_EQ(hb::ParseTarget("/dev/parport2", why), (PortTarget{PortKind::Parport, "/dev/parport2"}));

    for (const char* bad : {"", "unix:", "unix:relative.sock", "tcp:host:9100", "/dev/ttyS0", "lp0"}) {
        why.clear();
        EXPECT_FALSE(hb::ParseTarget(bad, why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
}

TEST(PortMap, EnvironmentFormKeepsGoodEntriesAndReportsBadOnes) {
    const auto entries = hb::ParseEnvironmentMap(
        "LPT1=unix:/tmp/vp.sock; ;ZQUSB1 = /dev/usb/lp3;LPT9=/dev/parport0;"
        "LPT2;LPT3=ftp:/x");
    ASSERT_EQ(entries.targets.size(), 2u);
    EXPECT_EQ(entries.targets.at(1028), (PortTarget{PortKind::UnixSocket, "/tmp/vp.sock"}));
    EXPECT_EQ(entries.targets.at(1025), (PortTarget{PortKind::UsbLp, "/dev/usb/lp3"}));
    ASSERT_EQ(entries.problems.size(), 3u);
    EXPECT_NE(entries.problems[0].find("LPT9"), std::string::npos);
    EXPECT_NE(entries.problems[1].find("\"LPT2\" is not PORT=TARGET"), std::string::npos);
    EXPECT_NE(entries.problems[2].find("LPT3"), std::string::npos);
    for (const auto& problem : entries.problems) EXPECT_TRUE(problem.starts_with("SVCADJUST_PORTMAP: ")) << problem;
}

TEST(PortMap, FileFormWithCommentsAndLineNumbers) {
    const auto entries = hb::ParseFileMap(
        "# virtual printers\n"
        "LPT1 = unix:/tmp/a.sock   # the bench printer\n"
        "\r\n"
        "ZQUSB2=usblp:/dev/usb/lp7\r\n"
        "LPT2 unix:/tmp/b.sock\n"
        "ZQUSB3 = nowhere",
        "ports.conf");
    ASSERT_EQ(entries.targets.size(), 2u);
    EXPECT_EQ(entries.targets.at(1028), (PortTarget{PortKind::UnixSocket, "/tmp/a.sock"}));
    EXPECT_EQ(entries.targets.at(1026), (PortTarget{PortKind::UsbLp, "/dev/usb/lp7"}));
    ASSERT_EQ(entries.problems.size(), 2u);
    EXPECT_TRUE(entries.problems[0].starts_with("ports.conf line 5: ")) << entries.problems[0];
    EXPECT_TRUE(entries.problems[1].starts_with("ports.conf line 6: ZQUSB3: ")) << entries.problems[1];
}

TEST(PortMap, APathWithANulByteIsRefusedNotCutShort) {
    // The kernel would stop reading the path at the NUL: the port would open
    // /tmp/vp.sock, not what the line says.
    using namespace std::string_view_literals;
    std::string why;
    EXPECT_FALSE(hb::ParseTarget("unix:/tmp/vp.sock\0/elsewhere"sv, why));
    EXPECT_NE(why.find("NUL"), std::string::npos) << why;
    const auto entries = hb::ParseFileMap("LPT1 = unix:/tmp/vp.sock\0x\nLPT2 = /dev/parport1\n"sv, "ports.conf");
    ASSERT_EQ(entries.targets.size(), 1u);
    EXPECT_EQ(entries.targets.at(1029), (PortTarget{PortKind::Parport, "/dev/parport1"}));
    ASSERT_EQ(entries.problems.size(), 1u);
    EXPECT_TRUE(entries.problems[0].starts_with("ports.conf line 1: LPT1: ")) << entries.problems[0];
    EXPECT_EQ(entries.problems[0].find('\0'), std::string::npos) << "the message holds no NUL itself";
    EXPECT_TRUE(hb::ParseEnvironmentMap("ZQUSB1=/dev/usb/lp0\0"sv).targets.empty());
}

TEST(PortMap, EnvironmentWinsPerPortThenFileThenDefault) {
    const auto environment = hb::ParseEnvironmentMap("LPT1=unix:/env.sock;LPT2=bogus");
    const auto file = hb::ParseFileMap("LPT1 = unix:/file1.sock\nLPT2 = unix:/file2.sock\n", "f");
    EXPECT_EQ(hb::ResolvePort(1028, environment, file).path, "/env.sock");
    // A bad entry in the variable is ignored, so the file's entry applies.
    EXPECT_EQ(hb::ResolvePort(1029, environment, file).path, "/file2.sock");
    EXPECT_EQ(hb::ResolvePort(1030, environment, file), hb::DefaultTarget(1030));
}

class PortMapFromSystem : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("hb-portmap-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(dir_ / "hostbridge");
        if (const char* home = std::getenv("HOME")) home_ = home;
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        unsetenv("SVCADJUST_PORTMAP");
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("SVCADJUST_PORTMAP");
        setenv("HOME", home_.c_str(), 1);
        std::filesystem::remove_all(dir_);
    }
    void WriteFile(const std::string& content) { std::ofstream(dir_ / "hostbridge" / "ports.conf") << content; }
    std::filesystem::path dir_;
    std::string home_;
};

TEST_F(PortMapFromSystem, ReadsTheVariableAndTheConfigFile) {
    EXPECT_EQ(hb::PortMapFilePath(), (dir_ / "hostbridge" / "ports.conf").string());
    WriteFile("LPT1 = unix:/from-file.sock\nZQUSB1 = /dev/usb/lp5\nLPT2 = ???\n");
    setenv("SVCADJUST_PORTMAP", "LPT1=unix:/from-env.sock", 1);

    std::vector<std::string> problems;
    EXPECT_EQ(hb::LookUpPort(1028, problems).path, "/from-env.sock");
    EXPECT_EQ(hb::LookUpPort(1025, problems).path, "/dev/usb/lp5");
    EXPECT_EQ(hb::LookUpPort(1029, problems), hb::DefaultTarget(1029));
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems[0].find("ports.conf line 3"), std::string::npos) << problems[0];
}

// Looks up LPT1 on another thread and gives up waiting after a few seconds,
// so that a lookup that blocks fails the test instead of hanging it.
bool LookUpFinishes(std::vector<std::string>& problems, PortTarget& target) {
    auto lookUp = std::async(std::launch::async, [] {
        std::vector<std::string> found;
        PortTarget t = hb::LookUpPort(1028, found);
        return std::make_pair(t, found);
    });
    if (lookUp.wait_for(std::chrono::seconds(3)) != std::future_status::ready) return false;
    auto [t, found] = lookUp.get();
    target = t;
    problems = found;
    return true;
}

TEST_F(PortMapFromSystem, OnlyASmallRegularFileIsReadAndEveryOtherIsReported) {
    const auto file = dir_ / "hostbridge" / "ports.conf";
    std::vector<std::string> problems;
    PortTarget target{};

    // A FIFO nobody writes to: opening it for reading must not wait for a writer.
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    const bool finished = LookUpFinishes(problems, target);
    if (!finished) {
        // Release the blocked reader so that the test can end.
        const int writer = ::open(file.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    ASSERT_TRUE(finished) << "a FIFO as ports.conf blocked the lookup";
    EXPECT_EQ(target, hb::DefaultTarget(1028));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("ports.conf: not a regular file"), std::string::npos) << problems[0];
    std::filesystem::remove(file);

    // A device that never ends.
    std::filesystem::create_symlink("/dev/zero", file);
    ASSERT_TRUE(LookUpFinishes(problems, target)) << "/dev/zero as ports.conf was read without end";
    EXPECT_EQ(target, hb::DefaultTarget(1028));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("not a regular file"), std::string::npos) << problems[0];
    std::filesystem::remove(file);

    // A regular file far larger than any port map, even with a good entry first.
    WriteFile("LPT1 = unix:/big.sock\n" + std::string(hb::kMaxPortMapFile, '#'));
    ASSERT_TRUE(LookUpFinishes(problems, target));
    EXPECT_EQ(target, hb::DefaultTarget(1028));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("larger than 65536 bytes"), std::string::npos) << problems[0];

    // Just within the cap it is read.
    WriteFile("LPT1 = unix:/small.sock\n" + std::string(hb::kMaxPortMapFile - 24, '#'));
    ASSERT_EQ(std::filesystem::file_size(file), hb::kMaxPortMapFile);
    ASSERT_TRUE(LookUpFinishes(problems, target));
    EXPECT_EQ(target.path, "/small.sock");
    EXPECT_TRUE(problems.empty());
}

TEST_F(PortMapFromSystem, AnUnreadableFileIsReportedNotIgnoredSilently) {
    // The configuration folder is a file, so the port map cannot be opened.
    std::filesystem::remove_all(dir_ / "hostbridge");
    std::ofstream(dir_ / "hostbridge") << "not a folder";
    std::vector<std::string> problems;
    EXPECT_EQ(hb::LookUpPort(1028, problems), hb::DefaultTarget(1028));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("ports.conf: cannot be read: "), std::string::npos) << problems[0];
    std::filesystem::remove(dir_ / "hostbridge");

    // A file without read permission (root reads it anyway).
    std::filesystem::create_directories(dir_ / "hostbridge");
    WriteFile("LPT1 = unix:/secret.sock\n");
    std::filesystem::permissions(dir_ / "hostbridge" / "ports.conf", std::filesystem::perms::none);
    problems.clear();
    const PortTarget target = hb::LookUpPort(1028, problems);
    if (::geteuid() != 0) {
        EXPECT_EQ(target, hb::DefaultTarget(1028));
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_NE(problems[0].find("cannot be read: Permission denied"), std::string::npos) << problems[0];
    }
}

TEST_F(PortMapFromSystem, NoFileAndNoVariableGiveTheDefaults) {
    std::vector<std::string> problems;
    EXPECT_EQ(hb::LookUpPort(1025, problems), hb::DefaultTarget(1025));
    EXPECT_TRUE(problems.empty());

    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(hb::PortMapFilePath(), "/home/tech/.config/hostbridge/ports.conf");
}

}  // namespace
