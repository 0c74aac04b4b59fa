// The exported C functions: one program-wide session on the port that the
// port switch has open.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "chanlink/CaptureControl.h"
#include "chanlink/ChannelApi.h"
#include "chanlink/HostSession.h"
#include "hostbridge/Transport.h"

namespace {

d4::HostSession& Session() {
    static d4::HostSession session([] { return hb::CurrentTransport(); }, {}, [] { return hb::PortGeneration(); });
    // Opt-in packet capture for diagnosing a link, decided once per run. An
    // existing file is replaced only when CHANLINK_CAPTURE_OVERWRITE=1 says so.
    static const bool captureChecked = [] {
        if (const char* path = std::getenv("CHANLINK_CAPTURE"); path && *path) {
            const char* overwrite = std::getenv("CHANLINK_CAPTURE_OVERWRITE");
            const bool replace = overwrite && std::strcmp(overwrite, "1") == 0;
            struct stat info {};
            if (!session.StartCapture(path, replace) && !replace && ::lstat(path, &info) == 0 && S_ISREG(info.st_mode))
                std::fprintf(stderr, "chanlink: set CHANLINK_CAPTURE_OVERWRITE=1 to replace %s\n", path);
        }
        return true;
    }();
    (void)captureChecked;
    return session;
}

}  // namespace

extern "C" {

CHANLINK_C_API uint16_t SetD4CommandRCode(uint8_t first, uint8_t second) {
    return Session().SetCommandRCode(first, second);
}

CHANLINK_C_API int ChanlinkCaptureStart(const char* path) { return path && Session().StartCapture(path) ? 1 : 0; }

CHANLINK_C_API void ChanlinkCaptureStop(void) { Session().StopCapture(); }

CHANLINK_C_API uint16_t D4Negotiation(void) { return Session().Negotiate(); }

CHANLINK_C_API uint16_t D4Termination(void) { return Session().Terminate(); }

CHANLINK_C_API uint16_t SendDataChannel(const uint8_t* data, uint32_t count) { return Session().SendData(data, count); }

CHANLINK_C_API uint16_t GetD4ErrorCode(void) { return Session().ErrorCode(); }

CHANLINK_C_API uint16_t D4ReadEeprom(uint8_t address, uint8_t* value) { return Session().ReadEeprom(address, value); }

CHANLINK_C_API uint16_t D4WriteEeprom(uint8_t address, uint8_t value) { return Session().WriteEeprom(address, value); }

CHANLINK_C_API uint16_t InquireStatus(uint8_t* record52) { return Session().InquireStatus(record52); }

}  // extern "C"
