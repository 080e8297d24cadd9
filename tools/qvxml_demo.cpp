// A short tour of the library through its public interface only.
#include <cstdarg>
#include <cstdio>

#include "qvxml.h"

namespace {

void put(int code, ...) {
    va_list args;
    va_start(args, code);
    Q_XMLPutErrMsgVar(code, args);
    va_end(args);
}

}  // namespace

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    std::printf("qvxml demo\n\n1. The error state accumulates reports until the host resets it:\n");
    put(1008, "XDOMRemove", 8);
    put(3013, "ORDERS");
    std::printf("%s", Q_XMLGetErrMsg());
    std::printf("   last code: %d\n", Q_XMLGetErrCode());
    Q_XMLResetErrMsg();
    std::printf("   after reset: \"%s\", code %d\n", Q_XMLGetErrMsg(), Q_XMLGetErrCode());
    return 0;
}
