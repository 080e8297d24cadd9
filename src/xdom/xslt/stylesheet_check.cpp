#include "xdom/xslt/stylesheet_check.h"

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "frame/limits.h"
#include "xdom/xpath/expression_limits.h"
#include "xdom/xpath/extension_functions.h"
#include "frame/transcode.h"

using namespace xercesc;

namespace qv {
namespace {

const XMLCh kXsltNamespace[] = u"http://www.w3.org/1999/XSL/Transform";

struct Stop {};  // ends the scan: a problem was found, or the text does not parse

class ShapeCheck : public DefaultHandler {
public:
    std::string problem;

    void startElement(const XMLCh* const uri, const XMLCh* const, const XMLCh* const,
                      const Attributes& attributes) override {
        if (++depth_ > limits::kMaxStylesheetDepth)
            refuse("elements are nested deeper than " +
                   std::to_string(limits::kMaxStylesheetDepth) + " levels");
        const bool instruction = XMLString::equals(uri, kXsltNamespace);
        for (XMLSize_t i = 0; i < attributes.getLength(); ++i) {
            const XMLCh* value = attributes.getValue(i);
            const std::string call = evaluateCallIn(value);
            if (!call.empty()) refuse("the function '" + call + "' is not available");
            if (instruction) {
                // select, test, match, ...: XPath expressions or patterns.
                std::string why = expressionProblem(value);
                if (!why.empty()) refuse(why);
            } else if (nestingOf(value) > limits::kMaxExpressionNesting) {
                // Attribute value templates of literal result elements.
                refuse(expressionProblem(value));
            }
        }
    }
    void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
        --depth_;
    }
    void fatalError(const SAXParseException&) override { throw Stop{}; }

    void startPrefixMapping(const XMLCh* const prefix, const XMLCh* const uri) override {
        prefixes_[prefix].emplace_back(uri);
    }
    void endPrefixMapping(const XMLCh* const prefix) override {
        auto found = prefixes_.find(prefix);
        if (found != prefixes_.end() && !found->second.empty()) found->second.pop_back();
    }

private:
    // The first call of an "evaluate" function (prefix:evaluate, then "(") in an
    // expression or attribute value template, as written; "" when there is none.
    std::string evaluateCallIn(const XMLCh* text) const {
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
            auto found = prefixes_.find(prefix);
            if (found == prefixes_.end() || found->second.empty()) continue;
            const std::u16string& uri = found->second.back();
            if (uri == kXalanExtensionsNamespace || uri == kExsltDynamicNamespace)
                return localText(value.substr(start, at + kName.size() - start).c_str());
        }
        return std::string();
    }
    static bool isNameChar(char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'_' || c == u'-' || c == u'.' || c >= 0x80;
    }

    std::map<std::u16string, std::vector<std::u16string>> prefixes_;

    [[noreturn]] void refuse(const std::string& why) {
        problem = "stylesheet refused: " + why;
        throw Stop{};
    }
    std::size_t depth_ = 0;
};

}  // namespace

std::string stylesheetProblem(const char* stylesheet, bool isText) {
    std::unique_ptr<SAX2XMLReader> reader(XMLReaderFactory::createXMLReader());
    reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, true);
    reader->setFeature(XMLUni::fgSAX2CoreValidation, false);
    reader->setFeature(XMLUni::fgXercesLoadExternalDTD, false);
    reader->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    SecurityManager security;
    security.setEntityExpansionLimit(limits::kEntityExpansions);
    reader->setProperty(XMLUni::fgXercesSecurityManager, &security);
    ShapeCheck check;
    reader->setContentHandler(&check);
    reader->setErrorHandler(&check);
    try {
        if (isText) {
            MemBufInputSource input(reinterpret_cast<const XMLByte*>(stylesheet),
                                    std::strlen(stylesheet), "stylesheet", false);
            reader->parse(input);
        } else {
            reader->parse(stylesheet);
        }
    } catch (const Stop&) {
    } catch (...) {
        // Whatever keeps the text from being read is Xalan's to report.
    }
    return check.problem;
}

}  // namespace qv
