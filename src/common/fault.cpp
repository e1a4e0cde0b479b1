#include "common/fault.h"

namespace vexlo {

void raise_fault(std::string message) { throw Fault(std::move(message)); }

}  // namespace vexlo
