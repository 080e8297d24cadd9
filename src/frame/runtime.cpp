#include "frame/runtime.h"

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "frame/errors.h"

namespace qv {
namespace {
constexpr XMLSize_t kInitialDomHeapBlock = 0x4000;         // the library's default
constexpr XMLSize_t kMaxDomHeapBlock = XMLSize_t(32) << 20;
constexpr XMLSize_t kMaxDomSubAllocation = 0x100;         // the library's default
bool g_parserStarted = false;
bool g_xpathStarted = false;
bool g_xsltStarted = false;

bool initXmlRuntime() {
    if (g_xpathStarted) return true;
    try {
        if (!g_parserStarted) {
            // The tree's heap grows in blocks up to 32 MiB (instead of 512 KiB): with
            // the parser's huge-page mapping of large blocks a large document is
            // built with a small fraction of the page faults. Smaller documents stay
            // in small blocks; the tree is the same.
            xercesc::XMLPlatformUtils::Initialize(kInitialDomHeapBlock, kMaxDomHeapBlock,
                                                  kMaxDomSubAllocation);
            g_parserStarted = true;
        }
        xalanc::XPathEvaluator::initialize(xalanc::XalanMemMgrs::getDefaultXercesMemMgr());
        g_xpathStarted = true;
        return true;
    } catch (...) {
        report(Error::RuntimeStartFailed);
        return false;
    }
}

bool initXsltRuntime() {
    if (g_xsltStarted) return true;
    if (!initXmlRuntime()) return false;
    try {
        xalanc::XalanTransformer::initialize(xalanc::XalanMemMgrs::getDefaultXercesMemMgr());
        g_xsltStarted = true;
        return true;
    } catch (...) {
        report(Error::RuntimeStartFailed);
        return false;
    }
}

}  // namespace

bool startRuntime(Runtime runtime) {
    switch (runtime) {
        case Runtime::None: return true;
        case Runtime::Xml: return initXmlRuntime();
        case Runtime::Xslt: return initXsltRuntime();
    }
    return true;
}

}  // namespace qv
