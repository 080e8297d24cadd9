#include "xdom/xslt/stylesheet_check.h"

#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "frame/limits.h"
#include "xdom/xpath/expression_limits.h"
#include "xdom/xpath/extension_functions.h"
#include "frame/transcode.h"

using namespace xercesc;

namespace qv {

const XMLCh kXsltNamespace[] = u"http://www.w3.org/1999/XSL/Transform";

namespace {

bool isNameChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'_' || c == u'-' || c == u'.' || c >= 0x80;
}

// The first call of an "evaluate" function (prefix:evaluate, then "(") in an
// expression or attribute value template of `element`, as written; "" when
// there is none.
std::string evaluateCallIn(const DOMElement& element, const XMLCh* text) {
    static const std::u16string kName(kEvaluateFunction);
    const std::u16string value(text);
    for (std::size_t at = value.find(kName); at != std::u16string::npos;
         at = value.find(kName, at + 1)) {
        std::size_t open = at + kName.size();
        while (open < value.size() && (value[open] == u' ' || value[open] == u'\t' ||
                                       value[open] == u'\n' || value[open] == u'\r'))
            ++open;
        if (at == 0 || value[at - 1] != u':' || open >= value.size() || value[open] != u'(')
            continue;
        std::size_t start = at - 1;
        while (start > 0 && isNameChar(value[start - 1])) --start;
        const std::u16string prefix = value.substr(start, at - 1 - start);
        const XMLCh* uri = element.lookupNamespaceURI(prefix.c_str());
        if (!uri) continue;
        if (XMLString::equals(uri, kXalanExtensionsNamespace) ||
            XMLString::equals(uri, kExsltDynamicNamespace))
            return localText(value.substr(start, at + kName.size() - start).c_str());
    }
    return std::string();
}

// Why the attributes of `element` may not be compiled ("" when they may).
std::string attributeProblem(const DOMElement& element) {
    const bool instruction = XMLString::equals(element.getNamespaceURI(), kXsltNamespace);
    const DOMNamedNodeMap* attributes = element.getAttributes();
    for (XMLSize_t i = 0; attributes && i < attributes->getLength(); ++i) {
        const DOMNode* attribute = attributes->item(i);
        if (XMLString::equals(attribute->getNamespaceURI(), XMLUni::fgXMLNSURIName)) continue;
        const XMLCh* value = attribute->getNodeValue();
        const std::string call = evaluateCallIn(element, value);
        if (!call.empty()) return "the function '" + call + "' is not available";
        if (instruction) {
            // select, test, match, ...: XPath expressions or patterns.
            std::string why = expressionProblem(value);
            if (!why.empty()) return why;
        } else if (nestingOf(value) > limits::kMaxExpressionNesting) {
            // Attribute value templates of literal result elements.
            return expressionProblem(value);
        }
    }
    return std::string();
}

}  // namespace

std::string stylesheetProblem(const DOMDocument& stylesheet) {
    // Every element once, without recursion.
    std::vector<const DOMElement*> pending;
    if (const DOMElement* root = stylesheet.getDocumentElement()) pending.push_back(root);
    while (!pending.empty()) {
        const DOMElement* element = pending.back();
        pending.pop_back();
        const std::string why = attributeProblem(*element);
        if (!why.empty()) return "stylesheet refused: " + why;
        for (const DOMElement* child = element->getFirstElementChild(); child;
             child = child->getNextElementSibling())
            pending.push_back(child);
    }
    return std::string();
}

}  // namespace qv
