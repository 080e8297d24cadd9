#include "xmap/writer.h"

#include <algorithm>
#include <cstdio>
#include <string>

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
#include "xmap/step_match.h"

using namespace xercesc;

namespace qv {
namespace {

using Kind = PathStep::Kind;

// Ends the build after a value that cannot be written has been reported.
struct WriteStopped {};

class Writer {
public:
    Writer(MappingModel& model, DOMDocument* document, const WriteSettings& settings)
        : model_(model),
          document_(document),
          settings_(settings),
          match_(model.ignoreNameSpace != 0),
          emptyIsNull_(model.emptyStringIsNull != 0),
          dateFormat_(cstr(model.dateFormat)) {}

    bool run() {
        // The root map and, after it, its next siblings: every top-level map.
        for (auto& map : model_.maps)
            if (!writeTable(*map, document_)) return false;
        return true;
    }

private:
    // ---- Elements ------------------------------------------------------------

    DOMNode* firstChild(DOMNode* node, const PathStep& step) const {
        return match_.firstChild(node, step);
    }
    // The next same-named sibling; none when the path's last step names no element.
    DOMNode* nextSibling(DOMNode* node, const PathStep* step) const {
        return step ? match_.nextSibling(node, *step) : nullptr;
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

    // An attribute without a prefix. A new one is made and linked in as the parser
    // does (a new attribute on a new element: none of setAttribute's checks can
    // fail); one the element has (a key written by the parent's column and again
    // by the child's) is set only when its value differs, since setting it again
    // replaces its text node to the same effect.
    void putAttribute(DOMElement* element, const XMLCh* name, const XMLCh* value) {
        if (DOMAttr* old = element->getAttributeNode(name)) {
            if (!XMLString::equals(old->getValue(), value)) element->setAttribute(name, value);
            return;
        }
        DOMAttr* attribute = document_->createAttribute(name);
        static_cast<DOMAttrImpl*>(attribute)->setValueFast(value);
        DOMAttrMapImpl* attributes = elementImpl(element)->fAttributes;
        attributes->reserve(4);  // the fast link needs the list made; a no-op after the first
        attributes->setNamedItemFast(attribute);
    }

    // The namespace declarations of the mapping, on the first element made: the
    // default namespace, and every prefix that some path uses.
    void declareNamespaces(DOMElement* element) {
        const HostTranscoder& toXml = *settings_.toXml;
        if (model_.defaultNamespace) {
            XmlText uri = toXml.toXml(model_.defaultNamespace->c_str());
            element->setAttributeNS(XMLUni::fgXMLNSURIName, u"xmlns", uri.get());
        }
        for (const NameSpaceEntry& entry : model_.namespaces) {
            if (!entry.referenced) continue;
            XmlText name = toXml.toXml(("xmlns:" + entry.prefix).c_str());
            XmlText uri = toXml.toXml(entry.uri.c_str());
            element->setAttributeNS(XMLUni::fgXMLNSURIName, name.get(), uri.get());
        }
        *settings_.namespacesWritten = true;
    }

    // A new element for a name step, appended to `parent`; null when the DOM
    // refuses it (a bad name, a second document element).
    DOMNode* makeElement(DOMNode* parent, const PathStep& step) {
        try {
            DOMElement* element =
                document_->createElementNS(step.uri ? step.uri.get() : u"", step.qualified.get());
            append(parent, element);
            if (!*settings_.namespacesWritten) declareNamespaces(element);
            return element;
        } catch (const DOMException&) {
            return nullptr;
        }
    }

    // The n-th child element matching the step (n from 1), made at the end as
    // often as needed.
    DOMNode* nthChild(DOMNode* node, const PathStep& step, int n) {
        if (n < 1) n = 1;
        DOMNode* last = nullptr;
        for (DOMNode* c = node->getFirstChild(); c; c = c->getNextSibling()) {
            if (c->getNodeType() != DOMNode::ELEMENT_NODE || !match_.matches(c, step)) continue;
            last = c;
            if (--n == 0) return c;
        }
        for (; n > 0; --n)
            if (!(last = makeElement(node, step))) return nullptr;
        return last;
    }

    // One inner step: ".." climbs, "." stays, a name takes the first match or makes one.
    DOMNode* innerStep(DOMNode* node, const PathStep& step) {
        switch (step.kind) {
            case Kind::Self: return node;
            case Kind::Parent: return node->getParentNode();
            default: {
                DOMNode* child = firstChild(node, step);
                return child ? child : makeElement(node, step);
            }
        }
    }

    // The last step of a node path: with `fresh` off the first match if there is
    // one; otherwise a new element.
    DOMNode* lastStep(DOMNode* node, const PathStep& step, bool fresh) {
        if (step.kind != Kind::Element) return innerStep(node, step);
        if (!fresh)
            if (DOMNode* child = firstChild(node, step)) return child;
        return makeElement(node, step);
    }

    DOMNode* ensurePath(DOMNode* node, const CompiledPath& path, bool fresh) {
        if (!path.present) return nullptr;
        const std::size_t n = path.steps.size();
        for (std::size_t i = 0; node && i < n; ++i)
            node = i + 1 < n ? innerStep(node, path.steps[i]) : lastStep(node, path.steps[i], fresh);
        return node;
    }

    // The element of a record. A record placed at a value (and subvalue) of its
    // parent's multivalued key goes into the element of that value: the step at the
    // map's multivalue depth takes the v-th element of its name, the step at the
    // subvalue depth the s-th.
    DOMNode* recordElement(DOMNode* parent, const TableClassMap& map, bool fresh,
                           const KeyPlace& place) {
        if (place.valueNumber <= 0) return ensurePath(parent, map.start, fresh);
        const std::vector<PathStep>& steps = map.start.steps;
        DOMNode* node = parent;
        for (std::size_t i = 0; node && i < steps.size(); ++i) {
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
    bool putValue(DOMNode* node, const CompiledPath& path, const RecordItem& item,
                  const char* conversion) {
        if (!path.present || path.steps.empty()) return true;
        const std::size_t inner = path.steps.size() - 1;
        for (std::size_t i = 0; node && i < inner; ++i) node = innerStep(node, path.steps[i]);
        if (!node) return true;
        value_.assign(item.text, static_cast<std::size_t>(item.length));
        if (conversion && !convertInPlace(value_, 0, conversion, QV_CONV_TO_XML, scratch_))
            return false;
        XmlText text = settings_.toXml->toXml(value_.c_str(), value_.size());
        checkWritable(text.get());
        const PathStep& last = path.steps.back();
        try {
            switch (last.kind) {
                case Kind::Text:
                case Kind::XmlData:
                    // "xmldata()" is written as text too: the value is not parsed.
                    append(node, document_->createTextNode(text.get()));
                    break;
                case Kind::Attribute: {
                    if (node->getNodeType() != DOMNode::ELEMENT_NODE) break;
                    auto* element = static_cast<DOMElement*>(node);
                    if (last.prefixed)
                        element->setAttributeNS(last.uri.get(), last.qualified.get(), text.get());
                    else
                        putAttribute(element, last.qualified.get(), text.get());
                    break;
                }
                default:
                    if (DOMNode* element = makeElement(node, last))
                        append(element, document_->createTextNode(text.get()));
                    break;
            }
        } catch (const DOMException&) {
            // The DOM refused the value here (text at the document level, a bad name).
        }
        return true;
    }

    // A value must reach the document as it is in the record: bytes that are not
    // host text (they would become U+FFFD or be cut off) and characters XML 1.0
    // cannot carry (the document could then never be written) end the build,
    // naming the record and the column.
    void checkWritable(const XMLCh* text) {
        bool replaced = false;
        for (const XMLCh* p = text; *p; ++p) {
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
        // ASCII text converts as it is; other bytes are checked by converting the
        // text back (a transcoder may replace, skip or cut what it cannot read).
        const bool ascii = std::all_of(value_.begin(), value_.end(), [](char b) {
            return static_cast<unsigned char>(b) < 0x80;
        });
        if (!replaced && ascii) return;
        std::string back;
        settings_.toXml->appendHost(back, text, xmlLength(text));
        if (back == value_) return;
        const char* encoding = settings_.toXml->encodingName();
        const std::string what =
            std::string("it is not valid ") + (encoding ? encoding : "host") + " text";
        unwritable(what.c_str());
    }

    [[noreturn]] void unwritable(const char* what) {
        const RecordItem id = extractItem(record_, 0);
        const std::string shownId = shownValue(id.text, static_cast<size_t>(id.length));
        const std::string value = shownValue(value_.data(), value_.size());
        report(Error::ValueNotWritable, value.c_str(), column_ ? shown(column_->name) : "?",
               shownId.c_str(), map_ ? shown(map_->tableName) : "?", what);
        throw WriteStopped{};
    }

    bool missing(const RecordItem& item) const {
        return isMissing(item, emptyIsNull_, settings_.marks->null[0]);
    }

    // The element for value or subvalue `n` of a repeating node path: the first is
    // found or made, each later one is the next same-named sibling or a new one.
    DOMNode* repeatElement(DOMNode* context, const CompiledPath& path, DOMNode* previous) {
        if (!previous) return ensurePath(context, path, false);
        if (DOMNode* next = nextSibling(previous, path.siblingStep())) return next;
        return ensurePath(context, path, true);
    }

    void writeColumn(const MapColumn& column, const char* record, DOMNode* element) {
        const char* conversion = effectiveConversion(cstr(column.convCode), dateFormat_);
        const RecordItem whole = extractItem(record, column.field);
        const int parts = column.partCount();
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
        DOMNode* multi = nullptr;
        while (values.next(value)) {
            // A missing value still gets its element, so later values keep their places.
            multi = repeatElement(element, column.path1, multi);
            if (!multi) return;
            if (missing(value)) continue;
            if (parts == 2) {
                putValue(multi, column.path2, value, conversion);
                continue;
            }
            ItemParts subvalues(value, subvalueMark, '\0');
            RecordItem subvalue;
            DOMNode* sub = nullptr;
            while (subvalues.next(subvalue)) {
                sub = repeatElement(multi, column.path2, sub);
                if (!sub) break;
                if (!missing(subvalue)) putValue(sub, column.path3, subvalue, conversion);
            }
        }
    }

    // ---- Tables and records --------------------------------------------------

    bool writeRecord(const TableClassMap& map, const char* record, DOMNode* element) {
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
    bool writeTable(TableClassMap& map, DOMNode* parent) {
        RecordQueue& q = map.records;
        const uint32_t owner = map.parent ? map.parent->records.cursor : kNoRecord;
        uint32_t r = map.parent ? (owner == kNoRecord ? kNoRecord : q.firstOf(owner)) : q.first();
        DOMNode* element = nullptr;  // the element for the next record without a place
        bool fresh = false;
        for (; r != kNoRecord; r = map.parent ? q.nextOfParent(r) : q.next(r)) {
            q.cursor = r;
            const KeyPlace place = q.placeOf(r);
            DOMNode* at = element;
            if (place.valueNumber > 0 || !at) {
                at = recordElement(parent, map, fresh, place);
                fresh = true;
            }
            if (at && !writeRecord(map, q.text(r), at)) return false;
            element = at ? nextSibling(at, map.start.siblingStep()) : nullptr;
        }
        q.cursor = kNoRecord;
        return true;
    }

    MappingModel& model_;
    DOMDocument* document_;
    const WriteSettings& settings_;
    const StepMatcher match_;
    const bool emptyIsNull_;
    const char* dateFormat_;
    std::string value_;    // the value being put, NUL-terminated
    std::string scratch_;  // input of the host's conversion
    // The value being put, for reports.
    const TableClassMap* map_ = nullptr;
    const char* record_ = "";
    const MapColumn* column_ = nullptr;
};

}  // namespace

bool buildDocument(MappingModel& model, DOMDocument* document, const WriteSettings& settings) {
    try {
        return Writer(model, document, settings).run();
    } catch (const WriteStopped&) {
        return false;
    }
}

}  // namespace qv
