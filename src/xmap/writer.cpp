#include "xmap/writer.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/dom/DOMText.hpp>
#include <xercesc/dom/impl/DOMAttrImpl.hpp>
#include <xercesc/dom/impl/DOMAttrMapImpl.hpp>
#include <xercesc/dom/impl/DOMElementImpl.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "qvxml.h"
#include "frame/errors.h"
#include "frame/transcode.h"
#include "frame/xerces_ptr.h"
#include "xdom/compact/draft_tree.h"
#include "xdom/dom/new_document.h"
#include "xmap/step_match.h"

using namespace xercesc;

namespace qv {
namespace {

using Kind = PathStep::Kind;

// Ends the build after a value that cannot be written has been reported.
struct WriteStopped {};

// The two trees a document is built into, behind the same few operations: the
// Xerces DOM, and a draft that becomes a compact tree. Each does what the DOM's
// own calls do, refusals included, so the writer cannot tell them apart.
//
// The Xerces DOM: createElementNS, appendChild, setAttribute(NS), createTextNode.
class DomNodes {
public:
    using Node = DOMNode*;
    static constexpr Node kNull = nullptr;

    DomNodes(DOMDocument* document, bool ignoreNamespaces)
        : document_(document), match_(ignoreNamespaces) {}

    Node document() const { return document_; }
    Node parent(Node node) const { return node->getParentNode(); }
    Node firstChild(Node node, const PathStep& step) const { return match_.firstChild(node, step); }
    Node nextSibling(Node node, const PathStep& step) const { return match_.nextSibling(node, step); }

    // A new element for a name step, appended to `parent`; null when the DOM refuses
    // it (a bad name, a second document element).
    Node appendElement(Node parent, const PathStep& step) {
        try {
            DOMElement* element = createElement(step);
            append(parent, element);
            return element;
        } catch (const DOMException&) {
            return nullptr;
        }
    }
    // Whether the DOM refuses the step's name for an element.
    bool refusesElementName(const PathStep& step) {
        try {
            createElement(step);
            return false;
        } catch (const DOMException&) {
            return true;
        }
    }
    Node rootElement() const { return document_->getDocumentElement(); }
    const XMLCh* nameOf(Node element) const { return element->getNodeName(); }
    // A namespace declaration; false when the DOM refuses it.
    bool declare(Node element, const XMLCh* qname, const XMLCh* uri) {
        try {
            static_cast<DOMElement*>(element)->setAttributeNS(XMLUni::fgXMLNSURIName, qname, uri);
            return true;
        } catch (const DOMException&) {
            return false;
        }
    }

    // An attribute without a prefix. A new one is made and linked in as the parser
    // does (a new attribute on a new element: none of setAttribute's checks can
    // fail); one the element has (a key written by the parent's column and again
    // by the child's) is set only when its value differs, since setting it again
    // replaces its text node to the same effect. False when the DOM refuses the name.
    bool putAttribute(Node node, const PathStep& step, const XMLCh* value, std::size_t) {
        auto* element = static_cast<DOMElement*>(node);
        const XMLCh* name = step.qualified.get();
        try {
            if (DOMAttr* old = element->getAttributeNode(name)) {
                if (!XMLString::equals(old->getValue(), value)) element->setAttribute(name, value);
                return true;
            }
            DOMAttr* attribute = document_->createAttribute(name);
            static_cast<DOMAttrImpl*>(attribute)->setValueFast(value);
            DOMAttrMapImpl* attributes = elementImpl(element)->fAttributes;
            attributes->reserve(4);  // the fast link needs the list made; a no-op after the first
            attributes->setNamedItemFast(attribute);
            return true;
        } catch (const DOMException&) {
            return false;
        }
    }
    bool putAttributeNS(Node node, const PathStep& step, const XMLCh* value, std::size_t) {
        try {
            static_cast<DOMElement*>(node)->setAttributeNS(step.uri.get(), step.qualified.get(), value);
            return true;
        } catch (const DOMException&) {
            return false;
        }
    }
    // Text below an element (the writer puts none at the document level).
    void appendText(Node node, const XMLCh* text, std::size_t) {
        append(node, document_->createTextNode(text));
    }

private:
    DOMElement* createElement(const PathStep& step) {
        return document_->createElementNS(step.uri ? step.uri.get() : u"", step.qualified.get());
    }
    // Every element of the Xerces DOM is a DOMElementImpl: reached without the
    // dynamic_cast of castToParentImpl, which costs more than the append itself.
    static DOMElementImpl* elementImpl(DOMNode* element) {
        return static_cast<DOMElementImpl*>(static_cast<DOMElement*>(element));
    }
    // Appends a node made a moment ago. Below an element the checks of appendChild
    // cannot fail (a new element or text, no ranges on a new document), so the node
    // is linked in directly, as the parser does; the document node keeps its check
    // of a single document element.
    void append(DOMNode* parent, DOMNode* child) {
        if (parent->getNodeType() == DOMNode::ELEMENT_NODE)
            elementImpl(parent)->fParent.appendChildFast(child);
        else
            parent->appendChild(child);
    }

    DOMDocument* document_;
    const StepMatcher match_;
};

// The draft: the DOM's rules kept without its nodes. Whether the DOM would refuse a
// name depends on the name alone, so each is tried once on a scratch document;
// attributes keep the DOM's order (sorted by qualified name as they are added, a
// namespaced one replaced where it stands).
class DraftNodes {
public:
    using Node = DraftTree::Index;
    static constexpr Node kNull = DraftTree::kNone;

    DraftNodes(DraftTree& tree, bool ignoreNamespaces) : tree_(tree), match_(ignoreNamespaces) {}

    Node document() const { return DraftTree::kDocument; }
    Node parent(Node node) const { return tree_.parent(node); }
    Node firstChild(Node node, const PathStep& step) {
        return matching(tree_.firstChild(node), step);
    }
    Node nextSibling(Node node, const PathStep& step) {
        return matching(tree_.nextSibling(node), step);
    }

    Node appendElement(Node parent, const PathStep& step) {
        const Names& names = namesOf(step);
        if (!names.element) return kNull;
        if (parent == document() && tree_.firstChild(parent) != kNull) return kNull;
        return tree_.appendElement(parent, names.name);
    }
    bool refusesElementName(const PathStep& step) { return !namesOf(step).element; }
    Node rootElement() const { return tree_.firstChild(document()); }
    const XMLCh* nameOf(Node element) const {
        return reinterpret_cast<const XMLCh*>(tree_.nameOf(tree_.elementName(element)).qname.c_str());
    }
    bool declare(Node element, const XMLCh* qname, const XMLCh* uri) {
        const XMLCh* colon = XMLString::findAny(qname, u":");
        const Names& names = namesOfNS(XMLUni::fgXMLNSURIName, qname, colon ? colon + 1 : qname);
        if (!names.attribute) return false;
        setNS(element, names.name, uri, XMLString::stringLen(uri));
        return true;
    }
    bool putAttribute(Node element, const PathStep& step, const XMLCh* value, std::size_t length) {
        const Names& names = namesOfPlain(step);
        if (!names.attribute) return false;
        gather(element);
        const int at = findNamePoint(step.qualified.get());
        if (at >= 0)
            tree_.replaceAttribute(held_[at], names.name, value, length);
        else
            tree_.insertAttribute(element, std::size_t(-1 - at), names.name, value, length);
        return true;
    }
    bool putAttributeNS(Node element, const PathStep& step, const XMLCh* value, std::size_t length) {
        const Names& names = namesOfNS(step.uri.get(), step.qualified.get(), step.local.get());
        if (names.attribute) setNS(element, names.name, value, length);
        return names.attribute;
    }
    void appendText(Node node, const XMLCh* text, std::size_t length) {
        tree_.appendText(node, text, length);
    }

private:
    // A name as the draft holds it, and whether the DOM takes it for an element and
    // for an attribute.
    struct Names {
        DraftTree::Index name = DraftTree::kNone;
        bool element = false;
        bool attribute = false;
    };

    Node matching(Node node, const PathStep& step) const {
        for (; node != kNull; node = tree_.nextSibling(node))
            if (tree_.isElement(node) &&
                match_.matches(tree_.elementName(node), step,
                               [this](Node n) -> const CompactTree::Name& { return tree_.nameOf(n); }))
                return node;
        return kNull;
    }

    // An element step's name: the element made with createElementNS(uri or "", qname).
    const Names& namesOf(const PathStep& step) {
        auto found = elementNames_.find(&step);
        if (found != elementNames_.end()) return found->second;
        Names names;
        try {
            DOMElement* e = scratch()->createElementNS(step.uri ? step.uri.get() : u"", step.qualified.get());
            names.element = true;
            names.name = tree_.name(e->getLocalName(), e->getNamespaceURI(), e->getNodeName());
        } catch (const DOMException&) {
        }
        return elementNames_.emplace(&step, names).first->second;
    }
    // An attribute without a prefix: made without namespaces, its local name is its name.
    const Names& namesOfPlain(const PathStep& step) {
        auto found = plainNames_.find(&step);
        if (found != plainNames_.end()) return found->second;
        Names names;
        try {
            scratch()->createAttribute(step.qualified.get());
            names.attribute = true;
            names.name = tree_.name(step.qualified.get(), nullptr, step.qualified.get());
        } catch (const DOMException&) {
        }
        return plainNames_.emplace(&step, names).first->second;
    }
    const Names& namesOfNS(const XMLCh* uri, const XMLCh* qname, const XMLCh* local) {
        std::u16string key = reinterpret_cast<const char16_t*>(uri ? uri : u"");
        key.push_back(u'\0');
        key += reinterpret_cast<const char16_t*>(qname);
        auto found = nsNames_.find(key);
        if (found != nsNames_.end()) return found->second;
        Names names;
        try {
            scratch()->createAttributeNS(uri, qname);
            names.attribute = true;
            names.name = tree_.name(local, uri, qname);
        } catch (const DOMException&) {
        }
        return nsNames_.emplace(std::move(key), names).first->second;
    }
    DOMDocument* scratch() {
        if (!scratch_) scratch_ = newDocument(nullptr);
        if (!scratch_) throw DOMException(DOMException::INVALID_STATE_ERR, 0);
        return scratch_.get();
    }

    // setAttributeNS: the attribute of the same namespace and local name is replaced
    // where it stands, else a new one goes where its qualified name sorts.
    void setNS(Node element, DraftTree::Index name, const XMLCh* value, std::size_t length) {
        const CompactTree::Name& wanted = tree_.nameOf(name);
        gather(element);
        for (DraftTree::Index a : held_) {
            const CompactTree::Name& have = tree_.nameOf(tree_.attributeName(a));
            if (have.uri == wanted.uri && have.local == wanted.local) {
                tree_.replaceAttribute(a, name, value, length);
                return;
            }
        }
        int at = findNamePoint(reinterpret_cast<const XMLCh*>(wanted.qname.c_str()));
        if (at < 0) at = -1 - at;
        tree_.insertAttribute(element, std::size_t(at), name, value, length);
    }

    void gather(Node element) {
        held_.clear();
        for (auto a = tree_.firstAttribute(element); a != DraftTree::kNone; a = tree_.nextAttribute(a))
            held_.push_back(a);
    }
    // The DOM's binary search of an element's attributes by qualified name: the
    // index found, or -1 - where it would go.
    int findNamePoint(const XMLCh* qname) const {
        int i = 0, first = 0, last = static_cast<int>(held_.size()) - 1;
        while (first <= last) {
            i = (first + last) / 2;
            const auto& have = tree_.nameOf(tree_.attributeName(held_[std::size_t(i)])).qname;
            const int test = XMLString::compareString(qname, reinterpret_cast<const XMLCh*>(have.c_str()));
            if (test == 0) return i;
            if (test < 0)
                last = i - 1;
            else
                first = i + 1;
        }
        if (first > i) i = first;
        return -1 - i;
    }

    DraftTree& tree_;
    const InternedMatcher match_;
    std::unordered_map<const PathStep*, Names> elementNames_, plainNames_;
    std::unordered_map<std::u16string, Names> nsNames_;
    XercesPtr<DOMDocument> scratch_;
    std::vector<DraftTree::Index> held_;
};

template <class Nodes>
class Writer {
public:
    using Node = typename Nodes::Node;
    static constexpr Node kNull = Nodes::kNull;

    Writer(MappingModel& model, Nodes& nodes, const WriteSettings& settings)
        : model_(model),
          nodes_(nodes),
          settings_(settings),
          emptyIsNull_(model.emptyStringIsNull != 0),
          dateFormat_(cstr(model.dateFormat)) {}

    bool run() {
        // The root map and, after it, its next siblings: every top-level map.
        for (auto& map : model_.maps)
            if (!writeTable(*map, nodes_.document())) return false;
        return true;
    }

private:
    // ---- Elements ------------------------------------------------------------

    Node firstChild(Node node, const PathStep& step) { return nodes_.firstChild(node, step); }
    // The next same-named sibling; none when the path's last step names no element.
    Node nextSibling(Node node, const PathStep* step) {
        return step ? nodes_.nextSibling(node, *step) : kNull;
    }

    // The namespace declarations of the mapping, on the first element made: the
    // default namespace, and every prefix that some path uses.
    void declareNamespaces(Node element) {
        if (model_.defaultNamespace) declare(element, "xmlns", *model_.defaultNamespace);
        for (const NameSpaceEntry& entry : model_.namespaces)
            if (entry.referenced) declare(element, "xmlns:" + entry.prefix, entry.uri);
        *settings_.namespacesWritten = true;
    }
    void declare(Node element, const std::string& name, const std::string& uri) {
        const HostTranscoder& toXml = *settings_.toXml;
        if (!nodes_.declare(element, toXml.toXml(name.c_str()).get(), toXml.toXml(uri.c_str()).get()))
            stop("XML does not allow the namespace declaration " + name + "=\"" + uri + "\"");
    }

    // A new element for a name step, appended to `parent`. The DOM's refusals (a
    // name XML does not allow, a second document element) end the build, naming
    // the record and the value that needed the element.
    Node makeElement(Node parent, const PathStep& step) {
        const Node element = nodes_.appendElement(parent, step);
        if (element == kNull) {
            if (parent == nodes_.document() && !nodes_.refusesElementName(step))
                stop("the document already has the root element <" +
                     hostText(nodes_.nameOf(nodes_.rootElement())) + ">, and XML allows only one");
            stop("XML does not allow the element name \"" + hostText(step.qualified.get()) + "\"");
        }
        if (!*settings_.namespacesWritten) declareNamespaces(element);
        return element;
    }

    // The n-th child element matching the step (n from 1), made at the end as
    // often as needed.
    Node nthChild(Node node, const PathStep& step, int n) {
        if (n < 1) n = 1;
        Node last = kNull;
        for (Node c = firstChild(node, step); c != kNull; c = nodes_.nextSibling(c, step)) {
            last = c;
            if (--n == 0) return c;
        }
        for (; n > 0; --n) last = makeElement(node, step);
        return last;
    }

    // One inner step: ".." climbs, "." stays, a name takes the first match or makes one.
    Node innerStep(Node node, const PathStep& step) {
        switch (step.kind) {
            case Kind::Self: return node;
            case Kind::Parent:
                if (node == nodes_.document()) stop(kAboveDocument);
                return nodes_.parent(node);
            default: {
                const Node child = firstChild(node, step);
                return child != kNull ? child : makeElement(node, step);
            }
        }
    }

    // The last step of a node path: with `fresh` off the first match if there is
    // one; otherwise a new element.
    Node lastStep(Node node, const PathStep& step, bool fresh) {
        if (step.kind != Kind::Element) return innerStep(node, step);
        if (!fresh) {
            const Node child = firstChild(node, step);
            if (child != kNull) return child;
        }
        return makeElement(node, step);
    }

    Node ensurePath(Node node, const CompiledPath& path, bool fresh) {
        if (!path.present) return kNull;
        const std::size_t n = path.steps.size();
        for (std::size_t i = 0; i < n; ++i)
            node = i + 1 < n ? innerStep(node, path.steps[i]) : lastStep(node, path.steps[i], fresh);
        return node;
    }

    // The element of a record. A record placed at a value (and subvalue) of its
    // parent's multivalued key goes into the element of that value: the step at the
    // map's multivalue depth takes the v-th element of its name, the step at the
    // subvalue depth the s-th.
    Node recordElement(Node parent, const TableClassMap& map, bool fresh, const KeyPlace& place) {
        if (place.valueNumber <= 0) return ensurePath(parent, map.start, fresh);
        const std::vector<PathStep>& steps = map.start.steps;
        Node node = parent;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const PathStep& step = steps[i];
            const int depth = static_cast<int>(i);
            if (step.kind == Kind::Element && depth == map.multivalueDepth)
                node = nthChild(node, step, place.valueNumber);
            else if (step.kind == Kind::Element && depth == map.subvalueDepth)
                node = nthChild(node, step, place.subvalueNumber);
            else if (i + 1 < steps.size())
                node = innerStep(node, step);
            else
                node = lastStep(node, step, fresh);
        }
        return node;
    }

    // ---- Values --------------------------------------------------------------

    // Puts one value at the end of a value path from `node`. False when the host's
    // conversion refuses the value (it is then left out).
    bool putValue(Node node, const CompiledPath& path, const RecordItem& item,
                  const char* conversion) {
        if (!path.present || path.steps.empty()) return true;
        const std::size_t inner = path.steps.size() - 1;
        for (std::size_t i = 0; i < inner; ++i) node = innerStep(node, path.steps[i]);
        value_.assign(item.text, static_cast<std::size_t>(item.length));
        if (conversion && !convertInPlace(value_, 0, conversion, QV_CONV_TO_XML, scratch_))
            return false;
        XmlText text = settings_.toXml->toXml(value_.c_str(), value_.size());
        const std::size_t length = checkWritable(text.get());
        const PathStep& last = path.steps.back();
        switch (last.kind) {
            case Kind::Text:
            case Kind::XmlData:
                // "xmldata()" is written as text too: the value is not parsed.
                if (node == nodes_.document()) stop(kAboveDocument);
                nodes_.appendText(node, text.get(), length);
                break;
            case Kind::Attribute: {
                if (node == nodes_.document()) stop(kAboveDocument);
                const bool put = last.prefixed ? nodes_.putAttributeNS(node, last, text.get(), length)
                                               : nodes_.putAttribute(node, last, text.get(), length);
                if (!put)
                    stop("XML does not allow the attribute name \"" + hostText(last.qualified.get()) + "\"");
                break;
            }
            default:
                nodes_.appendText(makeElement(node, last), text.get(), length);
                break;
        }
        return true;
    }

    // A value must reach the document as it is in the record: bytes that are not
    // host text (they would become U+FFFD or be cut off) and characters XML 1.0
    // cannot carry (the document could then never be written) end the build,
    // naming the record and the column. Returns the text's length.
    std::size_t checkWritable(const XMLCh* text) {
        bool replaced = false;
        const XMLCh* p = text;
        for (; *p; ++p) {
            const XMLCh c = *p;
            if ((c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0xFFFE || c == 0xFFFF) {
                char what[80];
                std::snprintf(what, sizeof what,
                              "it holds the character U+%04X, which XML 1.0 cannot carry",
                              unsigned(c));
                unwritable(what);
            }
            if (c >= 0xD800 && c <= 0xDFFF) {
                const bool pair = c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF;
                if (!pair) unwritable("it holds half of a UTF-16 surrogate pair");
                ++p;
            }
            replaced = replaced || c == 0xFFFD;
        }
        const auto length = static_cast<std::size_t>(p - text);
        // ASCII text converts as it is; other bytes are checked by converting the
        // text back (a transcoder may replace, skip or cut what it cannot read).
        const bool ascii = std::all_of(value_.begin(), value_.end(), [](char b) {
            return static_cast<unsigned char>(b) < 0x80;
        });
        if (!replaced && ascii) return length;
        std::string back;
        settings_.toXml->appendHost(back, text, length);
        if (back == value_) return length;
        const char* encoding = settings_.toXml->encodingName();
        const std::string what =
            std::string("it is not valid ") + (encoding ? encoding : "host") + " text";
        unwritable(what.c_str());
    }

    // The value being put, after its conversion, cannot be written.
    [[noreturn]] void unwritable(const std::string& what) { stop(what, value_.data(), value_.size()); }

    static constexpr const char* kAboveDocument = "its path climbs above the document element";

    // Ends the build: the value being written (the record's own text of it unless
    // given), or the record when no column is being written, cannot be written.
    [[noreturn]] void stop(const std::string& what) { stop(what, item_.text, std::size_t(item_.length)); }
    [[noreturn]] void stop(const std::string& what, const char* value, std::size_t length) {
        const RecordItem id = extractItem(record_, 0);
        const std::string shownId = shownValue(id.text, static_cast<size_t>(id.length));
        const char* table = map_ ? shown(map_->tableName) : "?";
        if (column_)
            report(Error::ValueNotWritable, shownValue(value, length).c_str(), shown(column_->name),
                   shownId.c_str(), table, what.c_str());
        else
            report(Error::RecordNotWritable, shownId.c_str(), table, what.c_str());
        throw WriteStopped{};
    }

    std::string hostText(const XMLCh* text) const {
        std::string out;
        settings_.toXml->appendHost(out, text, XMLString::stringLen(text));
        return out;
    }

    bool missing(const RecordItem& item) const {
        return isMissing(item, emptyIsNull_, settings_.marks->null[0]);
    }

    // The element for value or subvalue `n` of a repeating node path: the first is
    // found or made, each later one is the next same-named sibling or a new one.
    Node repeatElement(Node context, const CompiledPath& path, Node previous) {
        if (previous == kNull) return ensurePath(context, path, false);
        const Node next = nextSibling(previous, path.siblingStep());
        if (next != kNull) return next;
        return ensurePath(context, path, true);
    }

    void writeColumn(const MapColumn& column, const char* record, Node element) {
        const char* conversion = effectiveConversion(cstr(column.convCode), dateFormat_);
        const RecordItem whole = extractItem(record, column.field);
        const int parts = column.partCount();
        item_ = whole;
        if (parts == 1) {
            if (!missing(whole)) putValue(element, column.path1, whole, conversion);
            return;
        }
        if (missing(whole)) return;
        // The field is asked for once and split here: asking the host for value v
        // makes it scan the field from its start, which is quadratic in its values.
        const char valueMark = settings_.marks->value[0];
        const char subvalueMark = settings_.marks->subvalue[0];
        ItemParts values(whole, valueMark, subvalueMark);
        RecordItem value;
        Node multi = kNull;
        while (values.next(value)) {
            // A missing value still gets its element, so later values keep their places.
            item_ = value;
            multi = repeatElement(element, column.path1, multi);
            if (multi == kNull) return;
            if (missing(value)) continue;
            if (parts == 2) {
                putValue(multi, column.path2, value, conversion);
                continue;
            }
            ItemParts subvalues(value, subvalueMark, '\0');
            RecordItem subvalue;
            Node sub = kNull;
            while (subvalues.next(subvalue)) {
                item_ = subvalue;
                sub = repeatElement(multi, column.path2, sub);
                if (sub == kNull) break;
                if (!missing(subvalue)) putValue(sub, column.path3, subvalue, conversion);
            }
        }
    }

    // ---- Tables and records --------------------------------------------------

    bool writeRecord(const TableClassMap& map, const char* record, Node element) {
        for (const auto& owned : map.columns) {
            const MapColumn& column = *owned;
            switch (column.kind) {
                case ColumnKind::NestedMap: {
                    TableClassMap* nested = findMap(model_, cstr(column.name), false);
                    if (!nested || !writeTable(*nested, element)) return false;
                    break;
                }
                case ColumnKind::Regular:
                case ColumnKind::ParentKey:
                    map_ = &map;
                    record_ = record;
                    column_ = &column;
                    writeColumn(column, record, element);
                    break;
                default:
                    break;  // record IDs, generated columns and child keys are not written
            }
        }
        return true;
    }

    // Writes the records of one table under `parent`: those of the parent map's
    // record being written, or all of them at the top level.
    bool writeTable(TableClassMap& map, Node parent) {
        RecordQueue& q = map.records;
        const uint32_t owner = map.parent ? map.parent->records.cursor : kNoRecord;
        uint32_t r = map.parent ? (owner == kNoRecord ? kNoRecord : q.firstOf(owner)) : q.first();
        Node element = kNull;  // the element for the next record without a place
        bool fresh = false;
        for (; r != kNoRecord; r = map.parent ? q.nextOfParent(r) : q.next(r)) {
            q.cursor = r;
            const KeyPlace place = q.placeOf(r);
            Node at = element;
            if (place.valueNumber > 0 || at == kNull) {
                map_ = &map;
                record_ = q.text(r);
                column_ = nullptr;
                at = recordElement(parent, map, fresh, place);
                fresh = true;
            }
            if (at != kNull && !writeRecord(map, q.text(r), at)) return false;
            element = at != kNull ? nextSibling(at, map.start.siblingStep()) : kNull;
        }
        q.cursor = kNoRecord;
        return true;
    }

    MappingModel& model_;
    Nodes& nodes_;
    const WriteSettings& settings_;
    const bool emptyIsNull_;
    const char* dateFormat_;
    std::string value_;    // the value being put, NUL-terminated
    std::string scratch_;  // input of the host's conversion
    // What is being written, for reports: the record, and the column and the record's
    // text of the value (none while a record's own element is made).
    const TableClassMap* map_ = nullptr;
    const char* record_ = "";
    const MapColumn* column_ = nullptr;
    RecordItem item_;
};

template <class Nodes>
bool build(MappingModel& model, Nodes& nodes, const WriteSettings& settings) {
    try {
        return Writer<Nodes>(model, nodes, settings).run();
    } catch (const WriteStopped&) {
        return false;
    }
}

}  // namespace

bool buildDocument(MappingModel& model, DOMDocument* document, const WriteSettings& settings) {
    DomNodes nodes(document, model.ignoreNameSpace != 0);
    return build(model, nodes, settings);
}

bool buildCompactDocument(MappingModel& model, const WriteSettings& settings, bool standalone,
                          std::unique_ptr<CompactTree>& tree) {
    std::size_t text = 0;
    forEachMap(model, [&](TableClassMap& map) {
        text += map.records.textBytes();
        return true;
    });
    DraftTree draft(text);
    DraftNodes nodes(draft, model.ignoreNameSpace != 0);
    const bool built = build(model, nodes, settings);
    CompactTree::Prolog prolog;
    prolog.known = true;
    prolog.standalone = standalone;
    tree = draft.finish(prolog);
    return built;
}

}  // namespace qv
