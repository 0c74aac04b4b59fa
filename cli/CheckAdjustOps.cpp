#include "cli/Operations.h"

namespace svc::cli {

OperationList CheckAdjustOperations() { return {}; }

}  // namespace svc::cli
