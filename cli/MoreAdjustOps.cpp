#include "cli/Operations.h"

namespace svc::cli {

OperationList MoreAdjustOperations() { return {}; }

}  // namespace svc::cli
