// What a transformation emits, counted on its way to the result. Xalan hands
// every piece of the result to one formatter (a writer's, the caller's DOM
// builder, or the HTML writer it switches to when the first element is <html>);
// each is wrapped in a CountedOutput that tells the budget how many characters
// pass and forwards them unchanged. Result tree fragments are built beside it and
// are bounded by the transformation's memory instead.
#pragma once

#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/PlatformSupport/FormatterListener.hpp>

namespace qv {

class TransformBudget;

class CountedOutput : public xalanc::FormatterListener {
public:
    // The budget hears the characters of every piece before it is forwarded, and
    // may stop the transformation there.
    CountedOutput(xalanc::FormatterListener& inner, TransformBudget& budget);

    xalanc::FormatterListener& inner() const { return inner_; }

    void charactersRaw(const XMLCh* chars, size_type length) override;
    void comment(const XMLCh* data) override;
    void cdata(const XMLCh* chars, size_type length) override;
    void entityReference(const XMLCh* name) override;
    void characters(const XMLCh* chars, size_type length) override;
    void endDocument() override;
    void endElement(const XMLCh* name) override;
    void ignorableWhitespace(const XMLCh* chars, size_type length) override;
    void processingInstruction(const XMLCh* target, const XMLCh* data) override;
    void resetDocument() override;
    void setDocumentLocator(const xercesc::Locator* locator) override;
    void startDocument() override;
    void startElement(const XMLCh* name, xercesc::AttributeList& attributes) override;

    // What Xalan asks of the formatter to switch to the HTML writer.
    xalanc::Writer* getWriter() const override;
    const xalanc::XalanDOMString& getDoctypeSystem() const override;
    const xalanc::XalanDOMString& getDoctypePublic() const override;
    const xalanc::XalanDOMString& getEncoding() const override;
    const xalanc::XalanDOMString& getMediaType() const override;
    int getIndent() const override;

private:
    xalanc::FormatterListener& inner_;
    TransformBudget& budget_;
};

}  // namespace qv
