// Factory commands sent between the parts of a print job (the Bi-D trial
// values, the PF candidates). They go to the same input buffer as the print
// data just flushed, so a printer still busy with that data refuses them as
// busy, as it refuses a block of the job stream. They get the job stream's
// treatment: wait, look at the printer's state (paper prompt on error 6),
// send the same command again.
#pragma once

#include "link/ResultCodes.h"

#include <functional>

namespace svc {

// Sends `command` until the printer takes it; any result but a busy refusal
// ends it. A printer that stays busy for two minutes gives 0x2000.
Result SendFactoryInJob(const std::function<Result()>& command);

}  // namespace svc
