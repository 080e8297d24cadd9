#include "frame/misuse.h"

#include "frame/errors.h"

namespace qv {

void reportMisuse(const char* operation, const char* what, bool mapping, bool domStatus) {
    if (mapping)
        report(Error::MapInterfaceMisuse, operation, what);
    else if (domStatus)
        reportDom(Error::InterfaceMisuse, operation, what);
    else
        report(Error::InterfaceMisuse, operation, what);
}

}  // namespace qv
