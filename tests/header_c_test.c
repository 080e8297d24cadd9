/* The public header as a C host sees it: strict C, the record layouts the host
 * relies on, and a first call through the shared library. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "qvxml.h"

_Static_assert(offsetof(QvHostEncoding, base) == 0, "base");
_Static_assert(offsetof(QvHostEncoding, input) == 32, "input");
_Static_assert(offsetof(QvHostEncoding, output) == 64, "output");
_Static_assert(sizeof(QvHostEncoding) == 96, "QvHostEncoding size");

_Static_assert(offsetof(QvDocSettings, docEncoding) == 0, "docEncoding");
_Static_assert(offsetof(QvDocSettings, outEncoding) == 64, "outEncoding");
_Static_assert(offsetof(QvDocSettings, lineEnd) == 104, "lineEnd");
_Static_assert(offsetof(QvDocSettings, standalone) == 112, "standalone");
_Static_assert(offsetof(QvDocSettings, xmlDeclaration) == 113, "xmlDeclaration");
_Static_assert(offsetof(QvDocSettings, prettyPrint) == 114, "prettyPrint");
_Static_assert(offsetof(QvDocSettings, normalizeChars) == 115, "normalizeChars");
_Static_assert(offsetof(QvDocSettings, splitCdata) == 116, "splitCdata");
_Static_assert(offsetof(QvDocSettings, validation) == 117, "validation");
_Static_assert(offsetof(QvDocSettings, entities) == 118, "entities");
_Static_assert(offsetof(QvDocSettings, whitespaceInContent) == 119, "whitespaceInContent");
_Static_assert(offsetof(QvDocSettings, discardDefault) == 120, "discardDefault");
_Static_assert(offsetof(QvDocSettings, canonicalForm) == 121, "canonicalForm");
_Static_assert(offsetof(QvDocSettings, byteOrderMark) == 122, "byteOrderMark");
_Static_assert(sizeof(QvDocSettings) == 123, "QvDocSettings size");

static void put(int code, ...) {
    va_list args;
    va_start(args, code);
    Q_XMLPutErrMsgVar(code, args);
    va_end(args);
}

int main(void) {
    Q_XMLResetErrMsg();
    put(3013, "ORDERS");
    const char *expected = "QVXMAP/QVXML_extraction: Cannot find the table or map named as ORDERS.\n";
    if (strcmp(Q_XMLGetErrMsg(), expected) != 0 || Q_XMLGetErrCode() != 3013) {
        fprintf(stderr, "unexpected error state: %s", Q_XMLGetErrMsg());
        return 1;
    }
    Q_XMLResetErrMsg();
    return 0;
}
