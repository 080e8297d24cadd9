#include "xdom/xslt/counted_output.h"

#include <xercesc/sax/AttributeList.hpp>

#include "frame/transcode.h"
#include "xdom/xslt/stylesheet_run.h"

namespace qv {

CountedOutput::CountedOutput(xalanc::FormatterListener& inner, TransformBudget& budget)
    : FormatterListener(inner.getOutputFormat()), inner_(inner), budget_(budget) {
    setPrefixResolver(inner.getPrefixResolver());
}

void CountedOutput::charactersRaw(const XMLCh* chars, size_type length) {
    budget_.emitted(length);
    inner_.charactersRaw(chars, length);
}

void CountedOutput::comment(const XMLCh* data) {
    budget_.emitted(xmlLength(data));
    inner_.comment(data);
}

void CountedOutput::cdata(const XMLCh* chars, size_type length) {
    budget_.emitted(length);
    inner_.cdata(chars, length);
}

void CountedOutput::entityReference(const XMLCh* name) {
    budget_.emitted(xmlLength(name));
    inner_.entityReference(name);
}

void CountedOutput::characters(const XMLCh* chars, size_type length) {
    budget_.emitted(length);
    inner_.characters(chars, length);
}

void CountedOutput::endDocument() { inner_.endDocument(); }

void CountedOutput::endElement(const XMLCh* name) {
    budget_.emitted(xmlLength(name));
    inner_.endElement(name);
}

void CountedOutput::ignorableWhitespace(const XMLCh* chars, size_type length) {
    budget_.emitted(length);
    inner_.ignorableWhitespace(chars, length);
}

void CountedOutput::processingInstruction(const XMLCh* target, const XMLCh* data) {
    budget_.emitted(xmlLength(target) + xmlLength(data));
    inner_.processingInstruction(target, data);
}

void CountedOutput::resetDocument() { inner_.resetDocument(); }

void CountedOutput::setDocumentLocator(const xercesc::Locator* locator) {
    inner_.setDocumentLocator(locator);
}

void CountedOutput::startDocument() { inner_.startDocument(); }

void CountedOutput::startElement(const XMLCh* name, xercesc::AttributeList& attributes) {
    std::size_t size = xmlLength(name);
    for (XMLSize_t i = 0; i < attributes.getLength(); ++i)
        size += xmlLength(attributes.getName(i)) + xmlLength(attributes.getValue(i));
    budget_.emitted(size);
    inner_.startElement(name, attributes);
}

xalanc::Writer* CountedOutput::getWriter() const { return inner_.getWriter(); }

const xalanc::XalanDOMString& CountedOutput::getDoctypeSystem() const {
    return inner_.getDoctypeSystem();
}

const xalanc::XalanDOMString& CountedOutput::getDoctypePublic() const {
    return inner_.getDoctypePublic();
}

const xalanc::XalanDOMString& CountedOutput::getEncoding() const { return inner_.getEncoding(); }

const xalanc::XalanDOMString& CountedOutput::getMediaType() const {
    return inner_.getMediaType();
}

int CountedOutput::getIndent() const { return inner_.getIndent(); }

}  // namespace qv
