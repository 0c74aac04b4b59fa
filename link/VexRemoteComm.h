// Remote-mode command frames: commands the printer's firmware executes in its
// remote mode, sent inside the job stream and flushed at once.
#pragma once

#include "VexRaster.h"

#include <cstdint>

namespace svc {

class TPRemoteComm {
public:
    explicit TPRemoteComm(TPRaster& stream) : stream_(stream) {}

    Result EnterRemoteMode();
    Result ExitRemoteMode();
    // The sensor settings block of the PW sensor sequence, with its checksum.
    Result SendSNBlock();
    // The printer's own nozzle check, with its heading.
    Result PrintNozzleCheck();
    // Sets and saves the cut position.
    Result SetCutPosition(std::int8_t value);

private:
    TPRaster& stream_;
};

// The program-wide remote-frame builder, on the program-wide job stream.
TPRemoteComm& RemoteComm();

}  // namespace svc
