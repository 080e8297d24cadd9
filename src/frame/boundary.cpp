#include "frame/boundary.h"

#include <string>

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/PlatformSupport/XSLException.hpp>
#include <xalanc/XPath/XalanXPathException.hpp>
#include <xalanc/XalanDOM/XalanDOMException.hpp>
#include <xalanc/XalanDOM/XalanDOMString.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "frame/transcode.h"

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

int reportCaught(const ExportOptions& options) noexcept {
    try {
        try {
            throw;
        } catch (const xercesc::DOMException& e) {
            const Error code = Error(codeOf(Error::DomException) + static_cast<int>(e.code));
            report(code, options.name, static_cast<int>(e.code));
            return codeOf(code);
        } catch (const xercesc::XMLException& e) {
            const Error code = Error(codeOf(Error::XmlException) + static_cast<int>(e.getCode()));
            report(code, localText(e.getMessage()).c_str());
            return codeOf(code);
        } catch (const xalanc::XalanXPathException& e) {
            if (!options.xpathExceptions) throw;
            // The base class names every XPath exception alike (parser errors included).
            report(Error::XPathFailed, localCut(xalanc::XalanDOMString(e.XalanXPathException::getType()), 1024).c_str(), localCut(e.getMessage(), 2048).c_str());
            return codeOf(Error::XPathFailed);
        } catch (const xalanc::XalanDOMException& e) {
            if (!options.xalanDomExceptions) throw;
            report(Error::XalanDomFailed, static_cast<int>(e.getExceptionCode()));
            return codeOf(Error::XalanDomFailed);
        }
    } catch (...) {
        report(options.fallback, options.fallbackText ? options.fallbackText : options.name);
        return codeOf(options.fallback);
    }
}

}  // namespace qv
