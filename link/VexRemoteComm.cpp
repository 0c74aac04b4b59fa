#include "link/VexRemoteComm.h"

#include <array>
#include <cstring>
#include <numeric>

namespace svc {
namespace {

constexpr std::array<std::uint8_t, 13> kEnter{0x1B, 0x28, 0x52, 0x08, 0x00, 0x00, 'R', 'E', 'M', 'O', 'T', 'E', '1'};
constexpr std::array<std::uint8_t, 4> kExit{0x1B, 0x00, 0x00, 0x00};
// "SN", parameter length 46 (00 04, the block, the checksum), then 00 04.
constexpr std::array<std::uint8_t, 6> kSnHeader{'S', 'N', 0x2E, 0x00, 0x00, 0x04};
constexpr std::array<std::uint8_t, 42> kSnBlock{0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x44,
                                                0x00, 0x3A, 0x00, 0x22, 0x01, 0x20, 0x00, 0x8A, 0x03, 0x38, 0x02,
                                                0x94, 0x03, 0x00, 0x00, 0x62, 0x61, 0x64, 0x64, 0x61, 0x12, 0x02,
                                                0x15, 0x13, 0x31, 0x07, 0x01, 0x00, 0x01, 0x01, 0x00};
constexpr std::array<std::uint8_t, 6> kNozzleCheck{'N', 'C', 0x02, 0x00, 0x00, 0x00};
constexpr std::array<std::uint8_t, 4> kSave{'S', 'V', 0x00, 0x00};
constexpr char kNozzleHeading[] = "Nozzle check pattern\r\n";  // sent with its terminating 00

template <std::size_t N>
Result Put(TPRaster& s, const std::array<std::uint8_t, N>& bytes) {
    return s.Append(bytes.data(), static_cast<int>(N));
}

}  // namespace

Result TPRemoteComm::EnterRemoteMode() { return Put(stream_, kEnter); }

Result TPRemoteComm::ExitRemoteMode() { return Put(stream_, kExit); }

Result TPRemoteComm::SendSNBlock() {
    Result r = EnterRemoteMode();
    if (r == rc::Ok) r = Put(stream_, kSnHeader);
    if (r == rc::Ok) r = Put(stream_, kSnBlock);
    if (r == rc::Ok) {
        const auto sum = static_cast<std::uint16_t>(std::accumulate(kSnBlock.begin(), kSnBlock.end(), 0u));
        r = Put(stream_, std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(sum & 0xFF),
                                                     static_cast<std::uint8_t>(sum >> 8)});
    }
    if (r == rc::Ok) r = ExitRemoteMode();
    if (r == rc::Ok) r = stream_.Flush();
    return r;
}

Result TPRemoteComm::PrintNozzleCheck() {
    Result r = stream_.Append(reinterpret_cast<const std::uint8_t*>(kNozzleHeading), sizeof kNozzleHeading);
    if (r == rc::Ok) r = EnterRemoteMode();
    if (r == rc::Ok) r = Put(stream_, kNozzleCheck);
    if (r == rc::Ok) r = ExitRemoteMode();
    if (r == rc::Ok) r = SendLineFeeds(stream_, 2);
    if (r == rc::Ok) r = stream_.Flush();
    return r;
}

Result TPRemoteComm::SetCutPosition(std::int8_t value) {
    Result r = EnterRemoteMode();
    if (r == rc::Ok)
        r = Put(stream_, std::array<std::uint8_t, 9>{'D', 'D', 0x05, 0x00, 0x00, 0x10, 0x00,
                                                     static_cast<std::uint8_t>(value), 0x02});
    if (r == rc::Ok) r = Put(stream_, kSave);
    if (r == rc::Ok) r = ExitRemoteMode();
    if (r == rc::Ok) r = stream_.Flush();
    return r;
}

TPRemoteComm& RemoteComm() {
    static TPRemoteComm remote(JobStream());
    return remote;
}

}  // namespace svc
