#include "frame/misuse.h"

#include "frame/errors.h"

namespace qv {

void reportMisuse(const char* operation, const char* what, Family family) {
    switch (family) {
        case Family::Document: reportDom(47, operation, what); break;
        case Family::DocumentKeepsStatus: report(47, operation, what); break;
        case Family::Mapping: report(3008, operation, what); break;
    }
}

}  // namespace qv
