/* A host that reaches the library the two ways a database engine does: linked
 * (QVXML_DLOPEN undefined) or loaded with dlopen(RTLD_LOCAL) from the path in
 * argv[1]. Either way, numbers of 10^100 and more from document data must come out
 * of Xalan-C++ as digits: its own formatting of them aborts the process. */
#include <stdio.h>
#include <string.h>

#include "qvxml.h"

#ifdef QVXML_DLOPEN
#include <dlfcn.h>
#endif

typedef QvHandle (*OpenFn)(const char *, int);
typedef const char *(*EvaluateFn)(QvHandle, const char *, const char *);
typedef void *(*TransformFn)(QvHandle, const char *, int, int, const char *);
typedef int (*CloseFn)(QvHandle);

static int check(const char *what, const char *got, const char *want) {
    if (got && strcmp(got, want) == 0) return 0;
    fprintf(stderr, "%s: got '%s', want '%s'\n", what, got ? got : "(null)", want);
    return 1;
}

int main(int argc, char **argv) {
#ifdef QVXML_DLOPEN
    OpenFn open;
    EvaluateFn evaluate;
    TransformFn transform;
    CloseFn close;
    void *lib;
    if (argc < 2) return 2;
    lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    *(void **)&open = dlsym(lib, "QV_XDOMOpen");
    *(void **)&evaluate = dlsym(lib, "QV_XDOMEvaluate");
    *(void **)&transform = dlsym(lib, "QV_XDOMTransform");
    *(void **)&close = dlsym(lib, "QV_XDOMClose");
    if (!open || !evaluate || !transform || !close) return 2;
#else
    OpenFn open = QV_XDOMOpen;
    EvaluateFn evaluate = QV_XDOMEvaluate;
    TransformFn transform = QV_XDOMTransform;
    CloseFn close = QV_XDOMClose;
    (void)argc;
    (void)argv;
#endif
    char googol[102], doc[300], twice[103];
    googol[0] = '1';
    memset(googol + 1, '0', 100);
    googol[101] = '\0';
    snprintf(twice, sizeof twice, "2%s", googol + 1);
    snprintf(doc, sizeof doc, "<r><n>%s</n></r>", googol);

    QvHandle h = open(doc, 1);
    if (!h) return 2;
    int failures = 0;
    failures += check("string(sum())", evaluate(h, "string(sum(/r/n))", NULL), googol);
    failures += check("concat()", evaluate(h, "concat(/r/n * 2, '')", NULL), twice);
    failures += check("0.5 + 0.1", evaluate(h, "0.5 + 0.1", NULL), "0.6");
    failures += check("value-of",
                      transform(h,
                                "<xsl:stylesheet version='1.0' "
                                "xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                                "<xsl:output method='text'/><xsl:template match='/'>"
                                "<xsl:value-of select='/r/n * 1'/></xsl:template>"
                                "</xsl:stylesheet>",
                                1, QV_RESULT_TEXT, NULL),
                      googol);
    close(h);
    if (failures == 0) puts("numbers formatted by the library");
    return failures ? 1 : 0;
}
