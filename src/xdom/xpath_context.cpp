#include "xdom/xpath_context.h"

namespace qv {

void XPathContextDeleter::operator()(XPathContext* context) const { delete context; }

}  // namespace qv
