#include "cli/Operations.h"

namespace svc::cli {

OperationList ServiceOperations() { return {}; }

}  // namespace svc::cli
