#include "support/RecycleBin.h"

namespace vimosync {

void MoveToRecycleBin(const QString&) {}

} // namespace vimosync
