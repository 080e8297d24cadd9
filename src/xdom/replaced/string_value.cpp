// Replaces the string-value members of DOMServices of Xalan-C++ 1.12
// (xalanc/DOMSupport/DOMServices.hpp): getNodeData and doGetNodeData for a
// node, an element, a document and a document fragment, into a string or to a
// FormatterListener.
//
// Why: the originals call themselves once per element level, so the string value
// of a deep tree (string(), sum(), =, xsl:value-of) exhausts the stack. Parsing
// bounds depth, but the library builds trees of its own (transformation results
// and the fragments inside a transformation, documents built from records,
// edits) that may nest far deeper. These definitions give the same text (the
// text and CDATA descendants in document order; under strip-space rules, those
// the execution context keeps) with an iterative walk.
//
// How it takes effect: as node_set_growth.cpp says; the mangled names are in
// cmake/qvxml.map and cmake/dependency_overrides.txt.
#include "xdom/replaced/string_value.h"

#pragma GCC visibility push(default)
#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xalanc/DOMSupport/DOMServices.hpp>
#include <xalanc/PlatformSupport/ExecutionContext.hpp>
#include <xalanc/PlatformSupport/FormatterListener.hpp>
#include <xalanc/XalanDOM/XalanAttr.hpp>
#include <xalanc/XalanDOM/XalanComment.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanDOM/XalanDocumentFragment.hpp>
#include <xalanc/XalanDOM/XalanElement.hpp>
#include <xalanc/XalanDOM/XalanNode.hpp>
#include <xalanc/XalanDOM/XalanProcessingInstruction.hpp>
#include <xalanc/XalanDOM/XalanText.hpp>
#pragma GCC visibility pop

namespace qv {
void (*g_stringValueTaken)(std::size_t) = nullptr;
}

namespace XALAN_CPP_NAMESPACE {
namespace {

bool isText(const XalanNode& node) {
    const XalanNode::NodeType type = node.getNodeType();
    return type == XalanNode::TEXT_NODE || type == XalanNode::CDATA_SECTION_NODE;
}

// Calls take(text) for every text or CDATA node among `first` and its following
// siblings and their element descendants, in document order, without recursion.
template <class Take>
void eachText(const XalanNode* first, Take take) {
    if (!first) return;
    const XalanNode* const stop = first->getParentNode();
    const XalanNode* n = first;
    while (n) {
        if (n->getNodeType() == XalanNode::ELEMENT_NODE && n->getFirstChild()) {
            n = n->getFirstChild();
            continue;
        }
        if (isText(*n)) take(static_cast<const XalanText&>(*n));
        while (n && !n->getNextSibling()) {
            n = n->getParentNode();
            if (n == stop) return;
        }
        if (n) n = n->getNextSibling();
    }
}

// Where the string value of `node` starts: its first child, the document
// element for a document (as the originals, which skip what comes before it),
// or the node itself for a leaf.
const XalanNode* firstOf(const XalanNode& node) {
    switch (node.getNodeType()) {
        case XalanNode::DOCUMENT_NODE:
            return static_cast<const XalanDocument&>(node).getDocumentElement();
        case XalanNode::ELEMENT_NODE:
        case XalanNode::DOCUMENT_FRAGMENT_NODE:
            return node.getFirstChild();
        default:
            return nullptr;
    }
}

// A leaf's own value: attribute, comment or processing instruction (text is
// handled with the strip rule by the callers).
const XalanDOMString* leafValue(const XalanNode& node) {
    switch (node.getNodeType()) {
        case XalanNode::ATTRIBUTE_NODE:
            return &static_cast<const XalanAttr&>(node).getNodeValue();
        case XalanNode::COMMENT_NODE:
            return &static_cast<const XalanComment&>(node).getData();
        case XalanNode::PROCESSING_INSTRUCTION_NODE:
            return &static_cast<const XalanProcessingInstruction&>(node).getData();
        default:
            return nullptr;
    }
}

// The string value of `node`, each kept piece handed to emit(text).
template <class Emit>
void stringValue(const XalanNode& node, ExecutionContext* context, Emit emit) {
    auto kept = [context](const XalanText& text) {
        return !context || !context->shouldStripSourceNode(text);
    };
    if (isText(node)) {
        const XalanText& text = static_cast<const XalanText&>(node);
        if (kept(text)) emit(text.getData());
        return;
    }
    if (const XalanDOMString* value = leafValue(node)) {
        emit(*value);
        return;
    }
    eachText(firstOf(node), [&](const XalanText& text) {
        if (kept(text)) emit(text.getData());
    });
}

void intoString(const XalanNode& node, ExecutionContext* context, XalanDOMString& data) {
    const XalanDOMString::size_type before = data.length();
    stringValue(node, context, [&data](const XalanDOMString& s) { data.append(s); });
    if (qv::g_stringValueTaken) qv::g_stringValueTaken(data.length() - before);
}

void toListener(const XalanNode& node, ExecutionContext* context, FormatterListener& listener,
                DOMServices::MemberFunctionPtr function) {
    std::size_t characters = 0;
    stringValue(node, context, [&](const XalanDOMString& s) {
        characters += s.length();
        if (!s.empty()) (listener.*function)(s.c_str(), s.length());
    });
    if (qv::g_stringValueTaken) qv::g_stringValueTaken(characters);
}

}  // namespace

void DOMServices::getNodeData(const XalanNode& node, XalanDOMString& data) {
    intoString(node, nullptr, data);
}
void DOMServices::getNodeData(const XalanElement& node, XalanDOMString& data) {
    intoString(node, nullptr, data);
}
void DOMServices::getNodeData(const XalanDocument& node, XalanDOMString& data) {
    intoString(node, nullptr, data);
}
void DOMServices::getNodeData(const XalanDocumentFragment& node, XalanDOMString& data) {
    intoString(node, nullptr, data);
}
void DOMServices::doGetNodeData(const XalanNode& node, ExecutionContext& context,
                                XalanDOMString& data) {
    intoString(node, &context, data);
}
void DOMServices::doGetNodeData(const XalanElement& node, ExecutionContext& context,
                                XalanDOMString& data) {
    intoString(node, &context, data);
}
void DOMServices::doGetNodeData(const XalanDocument& node, ExecutionContext& context,
                                XalanDOMString& data) {
    intoString(node, &context, data);
}
void DOMServices::doGetNodeData(const XalanDocumentFragment& node, ExecutionContext& context,
                                XalanDOMString& data) {
    intoString(node, &context, data);
}

void DOMServices::getNodeData(const XalanNode& node, FormatterListener& listener,
                              MemberFunctionPtr function) {
    toListener(node, nullptr, listener, function);
}
void DOMServices::getNodeData(const XalanElement& node, FormatterListener& listener,
                              MemberFunctionPtr function) {
    toListener(node, nullptr, listener, function);
}
void DOMServices::getNodeData(const XalanDocument& node, FormatterListener& listener,
                              MemberFunctionPtr function) {
    toListener(node, nullptr, listener, function);
}
void DOMServices::getNodeData(const XalanDocumentFragment& node, FormatterListener& listener,
                              MemberFunctionPtr function) {
    toListener(node, nullptr, listener, function);
}
void DOMServices::doGetNodeData(const XalanNode& node, ExecutionContext& context,
                                FormatterListener& listener, MemberFunctionPtr function) {
    toListener(node, &context, listener, function);
}
void DOMServices::doGetNodeData(const XalanElement& node, ExecutionContext& context,
                                FormatterListener& listener, MemberFunctionPtr function) {
    toListener(node, &context, listener, function);
}
void DOMServices::doGetNodeData(const XalanDocument& node, ExecutionContext& context,
                                FormatterListener& listener, MemberFunctionPtr function) {
    toListener(node, &context, listener, function);
}
void DOMServices::doGetNodeData(const XalanDocumentFragment& node, ExecutionContext& context,
                                FormatterListener& listener, MemberFunctionPtr function) {
    toListener(node, &context, listener, function);
}

}  // namespace XALAN_CPP_NAMESPACE
