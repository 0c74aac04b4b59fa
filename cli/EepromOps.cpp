#include "cli/Operations.h"

namespace svc::cli {

OperationList EepromOperations() { return {}; }

}  // namespace svc::cli
