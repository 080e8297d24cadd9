// Shows that the library's node-set growth takes the place of Xalan's in the
// way a host loads it: linked (built without arguments), or loaded with
// dlopen(RTLD_LOCAL) from the path given as the only argument.
//
// It counts the allocations made while one query builds a node-set of a
// million nodes, one context node at a time (count(/r/g/i) over 1,000 g of
// 1,000 i each). Xalan's own insert allocates on every append (more than a
// million allocations, and a quadratic copy); the library's needs a few dozen
// per set. The host program links neither Xerces nor Xalan, as a host would.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "qvxml.h"

namespace {

unsigned long allocations = 0;

}  // namespace

// Xerces' default memory manager, which Xalan's vectors use, allocates with the
// global operator new: counting it here counts theirs.
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

struct Library {
    decltype(&QV_XDOMOpen) open = nullptr;
    decltype(&QV_XDOMEvaluate) evaluate = nullptr;
    decltype(&QV_XDOMClose) close = nullptr;
    decltype(&Q_XMLGetErrMsg) message = nullptr;
};

template <typename F>
bool find(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    if (!function) std::printf("%s not found: %s\n", name, dlerror());
    return function != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    Library qv;
    if (argc > 1) {
        void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            std::printf("dlopen failed: %s\n", dlerror());
            return 1;
        }
        if (!find(library, "QV_XDOMOpen", qv.open) || !find(library, "QV_XDOMEvaluate", qv.evaluate) ||
            !find(library, "QV_XDOMClose", qv.close) || !find(library, "Q_XMLGetErrMsg", qv.message))
            return 1;
    } else {
#ifdef QVXML_PROBE_LINKED
        qv = {&QV_XDOMOpen, &QV_XDOMEvaluate, &QV_XDOMClose, &Q_XMLGetErrMsg};
#else
        std::printf("usage: %s path/to/libqvxml.so\n", argv[0]);
        return 2;
#endif
    }

    const int groups = 1000, items = 1000;
    std::string xml = "<r>";
    for (int g = 0; g < groups; ++g) {
        xml += "<g>";
        for (int i = 0; i < items; ++i) xml += "<i/>";
        xml += "</g>";
    }
    xml += "</r>";

    QvHandle doc = qv.open(xml.c_str(), 1);
    const char* built = doc ? qv.evaluate(doc, "count(/r)", nullptr) : nullptr;  // builds the view
    if (!built) {
        std::printf("could not open the document: %s\n", qv.message());
        return 1;
    }
    const unsigned long before = allocations;
    const char* count = qv.evaluate(doc, "count(/r/g/i)", nullptr);
    const unsigned long made = allocations - before;
    if (!count || std::string(count) != std::to_string(groups * items)) {
        std::printf("wrong count: %s %s\n", count ? count : "(null)", qv.message());
        return 1;
    }
    std::printf("%s nodes, %lu allocations\n", count, made);
    qv.close(doc);
    // Generous bound: geometric growth needs about 35 blocks per set.
    if (made > 10000) {
        std::printf("the node-set grew one node at a time: Xalan's own insert ran\n");
        return 1;
    }
    return 0;
}
