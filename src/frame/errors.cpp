// The error state: the last code, the accumulated message text, the DOM status.
#include "frame/errors.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "qvxml.h"

namespace qv {
namespace {

constexpr const char* kMappingPrefix = "QVXMAP/QVXML_extraction: ";

struct ErrorState {
    int lastCode = 0;
    int length = 0;
    char text[kMaxMessageText + 1] = {};
};

ErrorState g_error;
int g_domStatus = 0;

// Formats into a buffer of kMaxReportText + 1 bytes; longer output is cut there.
void formatReport(char (&out)[kMaxReportText + 1], const char* format, va_list args) {
    int n = std::vsnprintf(out, sizeof out, format, args);
    if (n < 0) out[0] = '\0';
}

void append(const char* piece) {
    int room = kMaxMessageText - g_error.length;
    if (room <= 0) return;
    size_t n = std::strlen(piece);
    if (n > static_cast<size_t>(room)) n = static_cast<size_t>(room);
    std::memcpy(g_error.text + g_error.length, piece, n);
    g_error.length += static_cast<int>(n);
    g_error.text[g_error.length] = '\0';
}

void record(int code, va_list args) {
    g_error.lastCode = code;

    int key = code;
    int domCode = -1;  // -1: no DOM sub-code
    if (code >= 1000 && code < 2000) {
        key = 1000;
        domCode = code - 1000;
    } else if (code >= 2000 && code < 3000) {
        key = 2000;
    }
    const bool prefixed = key > 3000 && key <= 4000;

    char text[kMaxReportText + 1];
    const char* format = messageFormat(key);
    if (!format) {
        std::snprintf(text, sizeof text, "unknown error: error code %d.\n", key);
    } else if (domCode < 0) {
        formatReport(text, format, args);
    } else {
        // The row's format completed by the DOM exception text, or by a bare line feed.
        std::string extended = format;
        if (const char* domText = domExceptionText(domCode)) {
            extended += " (";
            extended += domText;
            extended += ")\n";
        } else {
            extended += "\n";
        }
        formatReport(text, extended.c_str(), args);
    }

    if (g_error.length >= kMaxMessageText) return;
    if (prefixed) append(kMappingPrefix);
    append(text);
}

}  // namespace

namespace detail {

void reportCode(int code, ...) {
    va_list args;
    va_start(args, code);
    record(code, args);
    va_end(args);
}

void reportDomCode(int code, ...) {
    va_list args;
    va_start(args, code);
    record(code, args);
    va_end(args);
    g_domStatus = code;
}

}  // namespace detail

void setDomStatus(int status) { g_domStatus = status; }
int domStatus() { return g_domStatus; }

}  // namespace qv

extern "C" {

QVXML_API void Q_XMLPutErrMsgVar(int code, va_list args) {
    va_list copy;
    va_copy(copy, args);
    qv::record(code, copy);
    va_end(copy);
}

QVXML_API const char* Q_XMLGetErrMsg(void) { return qv::g_error.text; }

QVXML_API int Q_XMLGetErrCode(void) { return qv::g_error.lastCode; }

QVXML_API int Q_XMLGetDOMStatus(void) { return qv::g_domStatus; }

QVXML_API int Q_XMLResetErrMsg(void) {
    qv::g_error.lastCode = 0;
    qv::g_error.length = 0;
    qv::g_error.text[0] = '\0';
    return 0;
}

}  // extern "C"
