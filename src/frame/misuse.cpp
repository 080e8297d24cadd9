#include "frame/misuse.h"

#include "frame/errors.h"

namespace qv {

void reportMisuse(const char* operation, const char* what, bool mapping) {
    if (mapping) {
        report(3008, operation, what);
    } else {
        reportDom(47, operation, what);
    }
}

}  // namespace qv
