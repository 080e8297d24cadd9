#include "frame/guard.h"

#include <string>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/PlatformSupport/XSLException.hpp>
#include <xalanc/XPath/XalanXPathException.hpp>
#include <xalanc/XalanDOM/XalanDOMException.hpp>
#include <xalanc/XalanDOM/XalanDOMString.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "xdom/transcode.h"

namespace qv {
namespace {

// Local code page text cut to fit a buffer of `size` bytes, NUL included.
std::string localCut(const xalanc::XalanDOMString& s, size_t size) {
    xalanc::CharVectorType bytes;
    xalanc::TranscodeToLocalCodePage(s, bytes, true, '?');
    std::string out(bytes.begin(), bytes.end());
    if (!out.empty() && out.back() == '\0') out.pop_back();
    if (out.size() > size - 1) out.resize(size - 1);
    return out;
}

}  // namespace

int reportCaught(const CatchPolicy& policy) noexcept {
    try {
        try {
            throw;
        } catch (const xercesc::DOMException& e) {
            int code = 1000 + static_cast<int>(e.code);
            report(code, policy.op, static_cast<int>(e.code));
            return code;
        } catch (const xercesc::XMLException& e) {
            int code = 2000 + static_cast<int>(e.getCode());
            report(code, localText(e.getMessage()).c_str());
            return code;
        } catch (const xalanc::XalanXPathException& e) {
            if (!policy.xpath) throw;
            // The base class names every XPath exception alike (parser errors included).
            report(31, localCut(xalanc::XalanDOMString(e.XalanXPathException::getType()), 1024).c_str(), localCut(e.getMessage(), 2048).c_str());
            return 31;
        } catch (const xalanc::XalanDOMException& e) {
            if (!policy.xalanDom) throw;
            report(33, static_cast<int>(e.getExceptionCode()));
            return 33;
        }
    } catch (...) {
        report(policy.otherCode, policy.otherArg);
        return policy.otherCode;
    }
}

}  // namespace qv
