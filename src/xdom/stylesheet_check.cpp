#include "xdom/stylesheet_check.h"

#include <cstring>
#include <memory>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "frame/limits.h"
#include "xdom/expression_limits.h"

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

private:
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
