// Process-wide error state and DOM status.
#pragma once

namespace qv {

// Longest accumulated message text, in characters (NUL not counted).
constexpr int kMaxMessageText = 4085;
// Longest text of one report.
constexpr int kMaxReportText = 4095;

// Appends one report for code; the arguments follow the code's format.
void report(int code, ...);

// Sets the DOM status; every XDOM export clears it on entry.
void setDomStatus(int status);
int domStatus();

// report() then setDomStatus(code): what "report error N" means for XDOM exports.
void reportDom(int code, ...);

// One row of the message table: a code and its printf format.
struct MessageRow {
    int code;
    const char* format;
};

// Looks a key up in the message table / the DOM exception table; nullptr if absent.
const char* messageFormat(int key);
const char* domExceptionText(int domCode);

}  // namespace qv
