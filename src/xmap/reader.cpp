#include "xmap/reader.h"

#include <charconv>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include "frame/errors.h"
#include "frame/transcode.h"
#include "xdom/serialize.h"
#include "xmap/step_match.h"

using namespace xercesc;

namespace qv {
namespace {

using Step = PathStep;
using Kind = PathStep::Kind;
using Path = CompiledPath;

// A column with its compiled parts (owned by the model) and its conversion.
struct ColumnPlan {
    MapColumn* column = nullptr;
    const char* conversion = nullptr;  // after the DateFormat rule
    int parts = 1;
};

struct TablePlan {
    TableClassMap* map = nullptr;
    const Path* start = nullptr;
    size_t iterateFrom = 0;   // inner steps from here on visit every occurrence
    std::vector<DOMNode*> at;  // node reached at each step of the current record node
    std::vector<ColumnPlan> columns;  // field order
    std::vector<TablePlan> children;
};


class Reader {
public:
    Reader(MappingModel& model, const ReadSettings& settings)
        : model_(model),
          settings_(settings),
          match_(model.ignoreNameSpace != 0),
          emptyIsNull_(model.emptyStringIsNull != 0) {}

    void run(DOMNode* start) {
        std::vector<TablePlan> plans;
        for (auto& map : model_.maps) plans.push_back(plan(*map));
        readTables(plans, start);
    }

private:
    TablePlan plan(TableClassMap& map) const {
        TablePlan t;
        t.map = &map;
        t.start = &map.start;
        // Name steps before a ".." are followed to their first match only: every
        // occurrence of them would lead back to the same nodes.
        for (size_t i = 0; i < t.start->steps.size(); ++i)
            if (t.start->steps[i].kind == Kind::Parent) t.iterateFrom = i + 1;
        t.at.resize(t.start->steps.size());
        const char* dateFormat = cstr(model_.dateFormat);
        for (MapColumn* column : map.byField) {
            if (column->kind == ColumnKind::NestedMap) continue;
            ColumnPlan c;
            c.column = column;
            c.conversion = effectiveConversion(cstr(column->convCode), dateFormat);
            if (column->kind == ColumnKind::Regular || column->kind == ColumnKind::ParentKey)
                c.parts = column->partCount();
            t.columns.push_back(std::move(c));
        }
        for (auto& child : map.children) t.children.push_back(plan(*child));
        return t;
    }

    // ---- Name matching and moves ---------------------------------------------

    bool matches(const DOMNode* node, const Step& step) const { return match_.matches(node, step); }
    DOMNode* firstChild(DOMNode* node, const Step& step) const { return match_.firstChild(node, step); }
    DOMNode* nextSibling(DOMNode* node, const Step& step) const { return match_.nextSibling(node, step); }

    // One inner step from `node`; null when it leads nowhere.
    DOMNode* move(DOMNode* node, const Step& step) const {
        switch (step.kind) {
            case Kind::Self: return node;
            case Kind::Parent: return node->getParentNode();
            default: return firstChild(node, step);
        }
    }

    // The first node a node path reaches, following the first match of each step.
    DOMNode* firstNode(DOMNode* node, const Path& path) const {
        if (!path.present) return nullptr;
        for (const Step& step : path.steps)
            if (!(node = move(node, step))) return nullptr;
        return node;
    }

    // ---- Record nodes --------------------------------------------------------
    // Every record node under the context, in document order: after the record
    // nodes under one occurrence of an inner step come those under its next
    // same-named sibling, and an occurrence without record nodes is passed over.

    DOMNode* descend(TablePlan& t, size_t from, DOMNode* node) const {
        const std::vector<Step>& steps = t.start->steps;
        for (;;) {
            size_t i = from;
            for (; i < steps.size(); ++i) {
                if (!(node = move(node, steps[i]))) break;
                t.at[i] = node;
            }
            if (i == steps.size()) return node;
            if (!(node = backtrack(t, i, from))) return nullptr;
        }
    }

    // Moves the deepest iterated step below `limit` to its next occurrence; sets
    // `resume` to the step after it. Null when every occurrence has been visited.
    DOMNode* backtrack(TablePlan& t, size_t limit, size_t& resume) const {
        const std::vector<Step>& steps = t.start->steps;
        for (size_t j = limit; j-- > t.iterateFrom;) {
            if (steps[j].kind != Kind::Element) continue;
            if (DOMNode* sibling = nextSibling(t.at[j], steps[j])) {
                t.at[j] = sibling;
                resume = j + 1;
                return sibling;
            }
        }
        return nullptr;
    }

    DOMNode* firstRecord(TablePlan& t, DOMNode* context) const {
        return descend(t, 0, context);
    }

    DOMNode* nextRecord(TablePlan& t) const {
        size_t resume = 0;
        DOMNode* node = backtrack(t, t.start->steps.size(), resume);
        return node ? descend(t, resume, node) : nullptr;
    }

    // ---- Values --------------------------------------------------------------

    // The direct text and CDATA children of a node, in host text; false if none.
    bool elementText(const DOMNode* node, std::string& out) const {
        bool found = false;
        for (const DOMNode* c = node->getFirstChild(); c; c = c->getNextSibling()) {
            const short type = c->getNodeType();
            if (type != DOMNode::TEXT_NODE && type != DOMNode::CDATA_SECTION_NODE) continue;
            found = true;
            const XMLCh* value = c->getNodeValue();
            settings_.toHost->appendHost(out, value, xmlLength(value));
        }
        return found;
    }

    bool attribute(const DOMNode* node, const Step& step, std::string& out) const {
        const DOMNamedNodeMap* attributes = node->getAttributes();
        if (!attributes) return false;
        const XMLSize_t count = attributes->getLength();
        for (XMLSize_t i = 0; i < count; ++i) {
            const DOMNode* a = attributes->item(i);
            if (!matches(a, step)) continue;
            const XMLCh* value = a->getNodeValue();
            settings_.toHost->appendHost(out, value, xmlLength(value));
            return true;
        }
        return false;
    }

    // Appends the value a value path finds from `node`; false when it finds none.
    bool valueAt(DOMNode* node, const Path& path, std::string& out) const {
        if (!path.present) return false;
        const std::vector<Step>& steps = path.steps;
        const size_t inner = steps.size() - 1;
        for (size_t i = 0; i < inner; ++i)
            if (!(node = move(node, steps[i]))) return false;
        const Step& last = steps.back();
        switch (last.kind) {
            case Kind::Text: return elementText(node, out);
            case Kind::XmlData: {
                std::string markup;
                if (!serializeNode(node, settings_.xmldataEncoding, nullptr, nullptr, &markup))
                    return false;
                out += markup;
                return true;
            }
            case Kind::Attribute: return attribute(node, last, out);
            case Kind::Element: {
                DOMNode* child = firstChild(node, last);
                return child && elementText(child, out);
            }
            default: return false;
        }
    }

    // ---- Records -------------------------------------------------------------

    // The raw text of a regular column or a declared parent key column.
    void assemble(const ColumnPlan& c, DOMNode* node, RecordWriter& w) const {
        std::string& out = w.text();
        if (c.parts == 1) {
            if (!valueAt(node, c.column->path1, out)) w.missing();
            return;
        }
        DOMNode* multi = firstNode(node, c.column->path1);
        if (!multi) {
            w.missing();
            return;
        }
        const Step* multiStep = c.column->path1.siblingStep();
        const Step* subStep = c.column->path2.siblingStep();
        for (bool first = true; multi;
             multi = multiStep ? nextSibling(multi, *multiStep) : nullptr, first = false) {
            if (!first) w.valueMark();
            if (c.parts == 2) {
                if (!valueAt(multi, c.column->path2, out)) w.missing();
                continue;
            }
            DOMNode* sub = firstNode(multi, c.column->path2);
            if (!sub) {
                w.missing();
                continue;
            }
            for (bool firstSub = true; sub;
                 sub = subStep ? nextSibling(sub, *subStep) : nullptr, firstSub = false) {
                if (!firstSub) w.subvalueMark();
                if (!valueAt(sub, c.column->path3, out)) w.missing();
            }
        }
    }

    static void appendNumber(std::string& out, int number) {
        char digits[16];
        auto result = std::to_chars(digits, digits + sizeof digits, number);
        out.append(digits, result.ptr);
    }

    // Runs the value or field appended since `from` through the host's conversion;
    // a refusal leaves it out.
    void convert(std::string& out, size_t from, const char* code) {
        if (code) convertInPlace(out, from, code, QV_CONV_TO_RECORD, scratch_);
    }

    void build(TablePlan& t, DOMNode* node) {
        settings_.buffer->begin();
        RecordWriter w(*settings_.buffer, *settings_.marks, emptyIsNull_);
        std::string& out = w.text();
        for (const ColumnPlan& c : t.columns) {
            MapColumn& column = *c.column;
            w.alignTo(column.field);
            const size_t from = out.size();
            switch (column.kind) {
                case ColumnKind::RecordId:
                case ColumnKind::GeneratedOrder:
                case ColumnKind::GeneratedParentKey:
                    appendNumber(out, column.counter++);
                    convert(out, from, c.conversion);
                    break;
                case ColumnKind::ChildKey: {
                    const MapColumn* key = column.parentKey;
                    if (key && (key->kind == ColumnKind::GeneratedParentKey ||
                                key->kind == ColumnKind::RecordId)) {
                        appendNumber(out, key->counter - 1);
                    } else if (key && key->hasSavedKey) {
                        out += key->savedKey;
                    } else {
                        w.missing();
                        break;
                    }
                    convert(out, from, c.conversion);
                    break;
                }
                case ColumnKind::ChildKeyMulti:
                    if (valueAt(node, c.column->path2, out))
                        convert(out, from, c.conversion);
                    else
                        w.missing();
                    break;
                case ColumnKind::NestedMap:
                    break;
                case ColumnKind::Regular:
                case ColumnKind::ParentKey:
                    assemble(c, node, w);
                    if (column.kind == ColumnKind::ParentKey) {
                        column.savedKey.assign(out, from, std::string::npos);
                        column.hasSavedKey = true;
                    }
                    convert(out, from, c.conversion);
                    break;
            }
        }
    }

    void queue(TableClassMap& map) {
        const std::string& out = settings_.buffer->text();
        if (out.empty()) return;
        const uint32_t parent = map.parent ? map.parent->records.lastQueued() : kNoRecord;
        map.records.append(out.data(), out.size(), parent);
    }

    void readTables(std::vector<TablePlan>& plans, DOMNode* context) {
        for (TablePlan& t : plans) {
            for (DOMNode* node = firstRecord(t, context); node; node = nextRecord(t)) {
                try {
                    build(t, node);
                    queue(*t.map);
                } catch (const std::bad_alloc&) {
                    // One record too large for the memory left is lost, not the walk.
                    settings_.buffer->begin();
                    report(Error::OutOfMemory);
                }
                if (!t.children.empty()) readTables(t.children, node);
            }
        }
    }

    MappingModel& model_;
    const ReadSettings& settings_;
    const StepMatcher match_;
    const bool emptyIsNull_;
    std::string scratch_;  // NUL-terminated input of the host's conversion
};

}  // namespace

void readDocument(MappingModel& model, DOMNode* start, const ReadSettings& settings) {
    if (!start || !model.root()) return;
    Reader(model, settings).run(start);
}

}  // namespace qv
