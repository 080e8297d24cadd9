#include "xdom/xpath/scanned_view.h"

#include <xalanc/XalanSourceTree/XalanSourceTreeComment.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDocument.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeElement.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeProcessingInstruction.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeText.hpp>
#include <xercesc/util/XMLString.hpp>

#include "xdom/xpath/view_parts.h"

namespace qv {

ScannedViewBuilder::ScannedViewBuilder(xalanc::XalanSourceTreeDocument& tree, bool hideFirstPI)
    : tree_(tree), levels_{{nullptr, nullptr}}, hidePI_(hideFirstPI) {}

void ScannedViewBuilder::startElement(const XMLCh* uri, const XMLCh* local, const XMLCh* qname,
                                      const std::vector<ScannedAttribute>& attributes,
                                      const void*) {
    flushText();
    const ViewAttributes view(attributes);
    Level& level = levels_.back();
    xalanc::XalanSourceTreeElement* element =
        tree_.createElementNode(uri, local, qname, view, level.element);
    linkLast(tree_, level.element, level.last, element);
    levels_.push_back({element, nullptr});
}

void ScannedViewBuilder::endElement() {
    flushText();
    if (levels_.size() > 1) levels_.pop_back();
}

void ScannedViewBuilder::characters(const XMLCh* chars, XMLSize_t length, bool cdataSection) {
    if (levels_.size() <= 1) return;  // the DOM keeps no text outside the document element
    if (!cdataSection) {
        text_.append(reinterpret_cast<const char16_t*>(chars), length);
        hasText_ = true;
        return;
    }
    flushText();
    Level& level = levels_.back();
    auto* node = tree_.createTextNode(chars, static_cast<xalanc::XalanDOMString::size_type>(length),
                                      level.element);
    linkLast(tree_, level.element, level.last, node);
}

void ScannedViewBuilder::flushText() {
    if (!hasText_) return;
    hasText_ = false;
    Level& level = levels_.back();
    if (!text_.empty()) {
        auto* node = tree_.createTextNode(
            reinterpret_cast<const XMLCh*>(text_.data()),
            static_cast<xalanc::XalanDOMString::size_type>(text_.size()), level.element);
        linkLast(tree_, level.element, level.last, node);
    }
    text_.clear();
}

void ScannedViewBuilder::comment(const XMLCh* text) {
    flushText();
    Level& level = levels_.back();
    auto* node = tree_.createCommentNode(
        text, static_cast<xalanc::XalanDOMString::size_type>(xercesc::XMLString::stringLen(text)),
        level.element);
    linkLast(tree_, level.element, level.last, node);
}

void ScannedViewBuilder::processingInstruction(const XMLCh* target, const XMLCh* data) {
    flushText();
    Level& level = levels_.back();
    if (!level.element && hidePI_) {
        hidePI_ = false;
        return;
    }
    static const XMLCh kEmpty[] = {0};
    auto* node = tree_.createProcessingInstructionNode(target, data ? data : kEmpty, level.element);
    linkLast(tree_, level.element, level.last, node);
}

}  // namespace qv
