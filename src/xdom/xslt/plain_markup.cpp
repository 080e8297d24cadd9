#include "xdom/xslt/plain_markup.h"

#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>

using namespace xercesc;

namespace qv {
namespace {

void appendUtf8(std::string& out, const XMLCh* s, const XMLCh* end) {
    for (; s < end; ++s) {
        char32_t c = *s;
        if (c >= 0xD800 && c <= 0xDBFF && s + 1 < end && s[1] >= 0xDC00 && s[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[1] - 0xDC00);
            ++s;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

void appendUtf8(std::string& out, const XMLCh* s) {
    if (!s) return;
    const XMLCh* end = s;
    while (*end) ++end;
    appendUtf8(out, s, end);
}

// Escapes what would change meaning when read again; in attributes also the white
// space that attribute normalization would turn into blanks.
void appendEscaped(std::string& out, const XMLCh* s, bool attribute) {
    if (!s) return;
    const XMLCh* run = s;
    auto flush = [&](const XMLCh* end) { appendUtf8(out, run, end); };
    for (; *s; ++s) {
        const char* entity = nullptr;
        switch (*s) {
            case u'&': entity = "&amp;"; break;
            case u'<': entity = "&lt;"; break;
            case u'>': entity = "&gt;"; break;
            case u'\r': entity = "&#13;"; break;
            case u'"': entity = attribute ? "&quot;" : nullptr; break;
            case u'\t': entity = attribute ? "&#9;" : nullptr; break;
            case u'\n': entity = attribute ? "&#10;" : nullptr; break;
            default: break;
        }
        if (!entity) continue;
        flush(s);
        out += entity;
        run = s + 1;
    }
    flush(s);
}

// Writes a node's start (or the whole of a node without children).
void open(std::string& out, const DOMNode* node) {
    switch (node->getNodeType()) {
        case DOMNode::ELEMENT_NODE: {
            out += '<';
            appendUtf8(out, node->getNodeName());
            const DOMNamedNodeMap* attributes = node->getAttributes();
            for (XMLSize_t i = 0; attributes && i < attributes->getLength(); ++i) {
                const DOMNode* attribute = attributes->item(i);
                out += ' ';
                appendUtf8(out, attribute->getNodeName());
                out += "=\"";
                appendEscaped(out, attribute->getNodeValue(), true);
                out += '"';
            }
            out += node->getFirstChild() ? ">" : "/>";
            break;
        }
        case DOMNode::TEXT_NODE:
        case DOMNode::CDATA_SECTION_NODE:
            if (node->getParentNode()->getNodeType() == DOMNode::ELEMENT_NODE)
                appendEscaped(out, node->getNodeValue(), false);
            break;
        case DOMNode::COMMENT_NODE:
            out += "<!--";
            appendUtf8(out, node->getNodeValue());
            out += "-->";
            break;
        case DOMNode::PROCESSING_INSTRUCTION_NODE:
            out += "<?";
            appendUtf8(out, node->getNodeName());
            if (const XMLCh* data = node->getNodeValue(); data && *data) {
                out += ' ';
                appendUtf8(out, data);
            }
            out += "?>";
            break;
        default:  // the document type; entity references are not made
            break;
    }
}

void close(std::string& out, const DOMNode* element) {
    out += "</";
    appendUtf8(out, element->getNodeName());
    out += '>';
}

}  // namespace

std::string plainMarkup(const DOMNode* document) {
    std::string out;
    const DOMNode* node = document->getFirstChild();
    while (node) {
        open(out, node);
        const bool descend =
            node->getNodeType() == DOMNode::ELEMENT_NODE && node->getFirstChild() != nullptr;
        if (descend) {
            node = node->getFirstChild();
            continue;
        }
        while (node && !node->getNextSibling()) {
            node = node->getParentNode();
            if (node == document) node = nullptr;
            if (node) close(out, node);
        }
        if (node) node = node->getNextSibling();
    }
    return out;
}

}  // namespace qv
