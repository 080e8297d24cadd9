// The view made of a compact tree (tree_nodes.h) answers node for node as the
// source tree copied from the same compact tree (compact_view.h): both are walked
// and every answer a query can ask of a node is set side by side.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xalanc/XalanDOM/XalanAttr.hpp>
#include <xalanc/XalanDOM/XalanDocument.hpp>
#include <xalanc/XalanDOM/XalanElement.hpp>
#include <xalanc/XalanDOM/XalanNamedNodeMap.hpp>
#include <xalanc/XalanDOM/XalanText.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDocument.hpp>

#include "dom_test_support.h"
#include "frame/runtime.h"
#include "frame/transcode.h"
#include "xdom/compact/compact_document.h"
#include "xdom/xpath/compact_view.h"
#include "xdom/xpath/tree_nodes.h"
#include "xdom/xpath/xalan_memory.h"

namespace {

using qvtest::Handle;
using xalanc::XalanNode;

class TreeNodesView : public qvtest::XdomTest {};

std::string text(const xalanc::XalanDOMString& s) { return qvtest::str(s.c_str()); }

std::string indexOf(const XalanNode* node) {
    return node ? std::to_string(node->getIndex()) : std::string("-");
}

// Everything a query can learn of one node, links given by index.
std::string describe(const XalanNode& node) {
    std::string out = std::to_string(node.getNodeType()) + " #" + indexOf(&node) + " name=" +
                      text(node.getNodeName()) + " local=" + text(node.getLocalName()) +
                      " uri=" + text(node.getNamespaceURI()) + " prefix=" + text(node.getPrefix()) +
                      " value=[" + text(node.getNodeValue()) + "] parent=" +
                      indexOf(node.getParentNode()) + " previous=" +
                      indexOf(node.getPreviousSibling()) + " next=" + indexOf(node.getNextSibling()) +
                      " first=" + indexOf(node.getFirstChild()) + " last=" + indexOf(node.getLastChild()) +
                      " document=" + indexOf(node.getOwnerDocument());
    if (!node.isIndexed()) out += " unindexed";
    switch (node.getNodeType()) {
        case XalanNode::TEXT_NODE:
            if (static_cast<const xalanc::XalanText&>(node).isWhitespace()) out += " whitespace";
            break;
        case XalanNode::ATTRIBUTE_NODE:
            out += " owner=" + indexOf(static_cast<const xalanc::XalanAttr&>(node).getOwnerElement());
            break;
        case XalanNode::DOCUMENT_NODE:
            out += " element=" +
                   indexOf(static_cast<const xalanc::XalanDocument&>(node).getDocumentElement());
            break;
        default:
            break;
    }
    return out;
}

// Every node of the view in document order, attributes after their element, each
// described; the order must be that of the indices.
std::vector<std::string> walk(const xalanc::XalanDocument& document) {
    std::vector<std::string> out;
    XalanNode::IndexType last = 0;
    auto add = [&](const XalanNode& node) {
        if (node.getIndex() <= last) out.push_back("out of order: " + describe(node));
        last = node.getIndex();
        out.push_back(describe(node));
    };
    const XalanNode* node = &document;
    while (node) {
        add(*node);
        if (const xalanc::XalanNamedNodeMap* map = node->getAttributes()) {
            for (xalanc::XalanSize_t i = 0; i < map->getLength(); ++i) {
                add(*map->item(i));
                const XalanNode* named = map->getNamedItem(map->item(i)->getNodeName());
                if (named != map->item(i)) out.push_back("named item differs: " + describe(*named));
            }
        }
        if (const XalanNode* child = node->getFirstChild()) {
            node = child;
            continue;
        }
        while (node && !node->getNextSibling()) node = node->getParentNode();
        if (node) node = node->getNextSibling();
    }
    return out;
}

std::string byId(const xalanc::XalanDocument& document, const char16_t* id) {
    return indexOf(document.getElementById(xalanc::XalanDOMString(id, qv::xalanMemory())));
}

TEST_F(TreeNodesView, AnswersAsTheCopiedView) {
    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "<d n='" + std::to_string(i) + "'>t";
    for (int i = 0; i < 300; ++i) deep += "</d>";
    const std::string cases[] = {
        // Mixed content, CDATA between text, comments and instructions at every
        // level, the first document-level instruction (hidden) and a later one.
        "<?first hidden?><!--before--><?second shown?>"
        "<r>text<![CDATA[cdata]]>more<e>in</e>tail<!--c--><?pi data?><![CDATA[]]><f/>end</r>"
        "<!--after--><?after x?>",
        // Namespaces: a default, prefixes on elements and attributes, xml:lang,
        // declarations after other attributes.
        "<r b='2' xmlns='urn:d' xmlns:p='urn:p' p:a='1' xml:lang='en'>"
        "<p:e p:x='y' z='w'><g xmlns='' h='i'/></p:e><e xmlns:q='urn:q'><q:e/></e></r>",
        // ID-typed attributes through the document type.
        "<!DOCTYPE r [<!ELEMENT r (e|f)*><!ELEMENT e (#PCDATA)><!ELEMENT f EMPTY>"
        "<!ATTLIST e key ID #IMPLIED other CDATA #IMPLIED><!ATTLIST f key ID #IMPLIED>]>"
        "<r><e key='a'>x</e><e key='b'/><f key='c'/><e other='d'/></r>",
        // Empty elements, whitespace-only and empty text.
        "<r>\n  <a> </a>\n  <b>\t</b><c></c><d/><e><![CDATA[ ]]></e>\n</r>",
        "<r/>",
        "<?only one?><r>just text</r>",
        deep,
    };
    for (const std::string& xml : cases) {
        SCOPED_TRACE(xml.substr(0, 120));
        Handle h(QV_XDOMOpen(xml.c_str(), 1));
        ASSERT_TRUE(h) << Q_XMLGetErrMsg();
        ASSERT_TRUE(h->isCompact());
        // The source tree names its text, comment and document nodes only once
        // the transformation runtime is up.
        ASSERT_TRUE(qv::startRuntime(qv::Runtime::Xslt));
        const qv::CompactTree& tree = *h->compact()->tree;
        ASSERT_TRUE(qv::TreeNodes::possible(tree));

        xalanc::XalanSourceTreeDocument copied(qv::xalanMemory());
        qv::buildCompactView(tree, copied);
        const qv::TreeNodes nodes(tree);

        EXPECT_EQ(walk(copied), walk(nodes));
        for (const char16_t* id : {u"a", u"b", u"c", u"d", u"x"})
            EXPECT_EQ(byId(copied, id), byId(nodes, id)) << qv::localText(reinterpret_cast<const XMLCh*>(id));
    }
}

}  // namespace
