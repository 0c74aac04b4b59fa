#include "service/FrameRoutines.h"

#include "service/VexFactory.h"

namespace svc {

bool ReturnCarriageHome(FeatureFrame& frame) {
    if (frame.Flag(WindowFlag::CarriageAtHome)) return true;
    const Result r = Factory().CarriageHome();
    if (r == 0) return false;
    if (r == rc::Ok) frame.SetFlag(WindowFlag::CarriageAtHome, 1);
    return true;
}

}  // namespace svc
