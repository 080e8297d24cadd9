// For callers inside the process (the qvxml tool), not an export: the whole text
// the last QV_XDOMWrite into memory handed back through a handle. The export's
// pointer ends at the first NUL byte, which UTF-16 and UTF-32 text holds.
#pragma once

#include <string_view>

#include "qvxml.h"

namespace qv {

// Valid until the next call that hands text back through `h`.
std::string_view writtenText(QvHandle h);

}  // namespace qv
