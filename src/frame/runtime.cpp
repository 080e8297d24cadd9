#include "frame/runtime.h"

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XalanTransformer/XalanTransformer.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "frame/errors.h"

namespace qv {
namespace {
bool g_parserStarted = false;
bool g_xpathStarted = false;
bool g_xsltStarted = false;
}  // namespace

bool initXmlRuntime() {
    if (g_xpathStarted) return true;
    try {
        if (!g_parserStarted) {
            xercesc::XMLPlatformUtils::Initialize();
            g_parserStarted = true;
        }
        xalanc::XPathEvaluator::initialize(xalanc::XalanMemMgrs::getDefaultXercesMemMgr());
        g_xpathStarted = true;
        return true;
    } catch (...) {
        report(17);
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
        report(17);
        return false;
    }
}

bool parserRuntimeStarted() { return g_parserStarted; }
bool xpathRuntimeStarted() { return g_xpathStarted; }
bool xsltRuntimeStarted() { return g_xsltStarted; }

}  // namespace qv
