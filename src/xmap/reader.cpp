#include "xmap/reader.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <string>
#include <vector>

#include "frame/errors.h"
#include "frame/limits.h"
#include "xmap/node_view.h"

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

template <class Node>
struct TablePlan {
    TableClassMap* map = nullptr;
    const Path* start = nullptr;
    size_t iterateFrom = 0;   // inner steps from here on visit every occurrence
    std::vector<Node> at;     // node reached at each step of the current record node
    std::vector<ColumnPlan> columns;  // field order
    std::vector<TablePlan> children;
};

// Ends the walk after a failure that has been reported.
struct ReadStopped {};

unsigned long g_visitBound = limits::kMaxElementVisitsPerOpen;

// The walk, over either form of the document through its view (node_view.h).
template <class View>
class Reader {
public:
    using Node = typename View::Node;
    using Plan = TablePlan<Node>;

    Reader(MappingModel& model, const ReadSettings& settings, const View& view)
        : model_(model),
          settings_(settings),
          view_(view),
          emptyIsNull_(model.emptyStringIsNull != 0) {}

    bool run(Node start) {
        std::vector<Plan> plans;
        for (auto& map : model_.maps) plans.push_back(plan(*map));
        return readTables(plans, start);
    }

private:
    static constexpr Node none() { return View::none(); }

    Plan plan(TableClassMap& map) const {
        Plan t;
        t.map = &map;
        t.start = &map.start;
        // Name steps before a ".." are followed to their first match only: every
        // occurrence of them would lead back to the same nodes.
        for (size_t i = 0; i < t.start->steps.size(); ++i)
            if (t.start->steps[i].kind == Kind::Parent) t.iterateFrom = i + 1;
        t.at.resize(t.start->steps.size(), none());
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

    // ---- Moves ---------------------------------------------------------------

    Node firstChild(Node node, const Step& step) const {
        for (Node c = view_.firstElement(node); c != none(); c = view_.nextElement(c)) {
            visited();
            if (view_.matches(c, step)) return c;
        }
        return none();
    }

    Node nextSibling(Node node, const Step& step) const {
        for (Node c = view_.nextElement(node); c != none(); c = view_.nextElement(c)) {
            visited();
            if (view_.matches(c, step)) return c;
        }
        return none();
    }

    // Counts one element looked at. A path that climbs ("../x") looks at every
    // sibling again for every record, work that no bound on records or their text
    // sees: the open stops (3007) past a bound on the elements it looks at.
    void visited() const {
        if (++visits_ <= g_visitBound + limits::kElementVisitsPerRecord * records_) return;
        const std::string what = "more than " + std::to_string(g_visitBound) + " elements and " +
                                 std::to_string(limits::kElementVisitsPerRecord) +
                                 " per record looked at to find them";
        report(Error::TooManyRecords, what.c_str());
        throw ReadStopped{};
    }

    // One inner step from `node`; null when it leads nowhere.
    Node move(Node node, const Step& step) const {
        switch (step.kind) {
            case Kind::Self: return node;
            case Kind::Parent: return view_.parent(node);
            default: return firstChild(node, step);
        }
    }

    // The first node a node path reaches, following the first match of each step.
    Node firstNode(Node node, const Path& path) const {
        if (!path.present) return none();
        for (const Step& step : path.steps)
            if ((node = move(node, step)) == none()) return none();
        return node;
    }

    // ---- Record nodes --------------------------------------------------------
    // Every record node under the context, in document order: after the record
    // nodes under one occurrence of an inner step come those under its next
    // same-named sibling, and an occurrence without record nodes is passed over.

    Node descend(Plan& t, size_t from, Node node) const {
        const std::vector<Step>& steps = t.start->steps;
        for (;;) {
            size_t i = from;
            for (; i < steps.size(); ++i) {
                if ((node = move(node, steps[i])) == none()) break;
                t.at[i] = node;
            }
            if (i == steps.size()) return node;
            if ((node = backtrack(t, i, from)) == none()) return none();
        }
    }

    // Moves the deepest iterated step below `limit` to its next occurrence; sets
    // `resume` to the step after it. Null when every occurrence has been visited.
    Node backtrack(Plan& t, size_t limit, size_t& resume) const {
        const std::vector<Step>& steps = t.start->steps;
        for (size_t j = limit; j-- > t.iterateFrom;) {
            if (steps[j].kind != Kind::Element) continue;
            const Node sibling = nextSibling(t.at[j], steps[j]);
            if (sibling != none()) {
                t.at[j] = sibling;
                resume = j + 1;
                return sibling;
            }
        }
        return none();
    }

    Node firstRecord(Plan& t, Node context) const { return descend(t, 0, context); }

    Node nextRecord(Plan& t) const {
        size_t resume = 0;
        const Node node = backtrack(t, t.start->steps.size(), resume);
        return node != none() ? descend(t, resume, node) : none();
    }

    // ---- Values --------------------------------------------------------------

    // Appends the value a value path finds from `node`; false when it finds none.
    // A value that would hold a mark or a NUL is reported and left out: it would
    // shift the fields or values after it, or cut the record.
    bool valueAt(Node node, const Path& path, std::string& out) const {
        const size_t from = out.size();
        if (!rawValueAt(node, path, out)) return false;
        const size_t bad = findLayoutByte(out, from, *settings_.marks);
        if (bad == std::string::npos) return true;
        reportLayoutByte(out, from, bad);
        out.resize(from);
        return false;
    }

    void reportLayoutByte(const std::string& out, size_t from, size_t bad) const {
        const RecordMarks& marks = *settings_.marks;
        const char c = out[bad];
        const char* what = c == '\0'                 ? "a NUL, which would cut the record"
                           : c == marks.field[0]    ? "the field mark"
                           : c == marks.value[0]    ? "the value mark"
                                                    : "the subvalue mark";
        // The record ID is field 0, built before every other column.
        const bool idKnown = column_ && column_->field > 0;
        const std::string id =
            idKnown ? out.substr(0, std::min(from, out.find(marks.field[0]))) : "(this value)";
        const std::string value = shownValue(out.data() + from, out.size() - from);
        report(Error::ValueHoldsMark, value.c_str(), column_ ? shown(column_->name) : "?",
               id.c_str(), map_ ? shown(map_->tableName) : "?",
               static_cast<int>(static_cast<unsigned char>(c)), what);
    }

    bool rawValueAt(Node node, const Path& path, std::string& out) const {
        if (!path.present) return false;
        const std::vector<Step>& steps = path.steps;
        const size_t inner = steps.size() - 1;
        for (size_t i = 0; i < inner; ++i)
            if ((node = move(node, steps[i])) == none()) return false;
        const Step& last = steps.back();
        switch (last.kind) {
            case Kind::Text: return view_.elementText(node, out);
            case Kind::XmlData: {
                // Records under one element that take an ancestor's markup take the
                // same text: it is written once, not once per record.
                if (node != xmldataNode_) {
                    xmldataNode_ = none();
                    xmldata_.clear();
                    if (!view_.markup(node, settings_.xmldataEncoding, xmldata_))
                        throw ReadStopped{};  // reported; a record without it would be wrong
                    xmldataNode_ = node;
                }
                out += xmldata_;
                return true;
            }
            case Kind::Attribute: return view_.attribute(node, last, out);
            case Kind::Element: {
                const Node child = firstChild(node, last);
                return child != none() && view_.elementText(child, out);
            }
            default: return false;
        }
    }

    // ---- Records -------------------------------------------------------------

    // The raw text of a regular column or a declared parent key column.
    void assemble(const ColumnPlan& c, Node node, RecordWriter& w) const {
        std::string& out = w.text();
        if (c.parts == 1) {
            if (!valueAt(node, c.column->path1, out)) w.missing();
            return;
        }
        Node multi = firstNode(node, c.column->path1);
        if (multi == none()) {
            w.missing();
            return;
        }
        const Step* multiStep = c.column->path1.siblingStep();
        const Step* subStep = c.column->path2.siblingStep();
        for (bool first = true; multi != none();
             multi = multiStep ? nextSibling(multi, *multiStep) : none(), first = false) {
            if (!first) w.valueMark();
            if (c.parts == 2) {
                if (!valueAt(multi, c.column->path2, out)) w.missing();
                continue;
            }
            Node sub = firstNode(multi, c.column->path2);
            if (sub == none()) {
                w.missing();
                continue;
            }
            for (bool firstSub = true; sub != none();
                 sub = subStep ? nextSibling(sub, *subStep) : none(), firstSub = false) {
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

    void build(Plan& t, Node node) {
        settings_.buffer->begin();
        RecordWriter w(*settings_.buffer, *settings_.marks, emptyIsNull_);
        std::string& out = w.text();
        map_ = t.map;
        for (const ColumnPlan& c : t.columns) {
            MapColumn& column = *c.column;
            column_ = &column;
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

    // Queues the record built; false (reported) when the open may hold no more.
    bool queue(TableClassMap& map) {
        const std::string& out = settings_.buffer->text();
        if (out.empty()) return true;
        if (++records_ > limits::kMaxRecordsPerOpen) {
            const std::string what =
                "more than " + std::to_string(limits::kMaxRecordsPerOpen) + " records";
            report(Error::TooManyRecords, what.c_str());
            return false;
        }
        textBytes_ += out.size() + 1;
        if (textBytes_ > limits::kMaxRecordTextPerOpen) {
            const std::string what = "more than " +
                                     std::to_string(limits::kMaxRecordTextPerOpen >> 20) +
                                     " MiB of record text";
            report(Error::TooManyRecords, what.c_str());
            return false;
        }
        const uint32_t parent = map.parent ? map.parent->records.lastQueued() : kNoRecord;
        map.records.append(out.data(), out.size(), parent);
        return true;
    }

    // Nested maps are read a level deeper each: the loader holds their nesting to
    // limits::kMaxMapNesting levels. False (reported) when the walk stopped.
    bool readTables(std::vector<Plan>& plans, Node context) {
        for (Plan& t : plans) {
            for (Node node = firstRecord(t, context); node != none(); node = nextRecord(t)) {
                build(t, node);
                if (!queue(*t.map)) return false;
                if (!t.children.empty() && !readTables(t.children, node)) return false;
            }
        }
        return true;
    }

    MappingModel& model_;
    const ReadSettings& settings_;
    const View& view_;
    const bool emptyIsNull_;
    std::string scratch_;  // NUL-terminated input of the host's conversion
    const TableClassMap* map_ = nullptr;  // the record being built, for reports
    const MapColumn* column_ = nullptr;
    mutable Node xmldataNode_ = none();  // the node whose markup xmldata_ holds
    mutable std::string xmldata_;
    unsigned long records_ = 0;  // queued by this open, all maps
    mutable unsigned long visits_ = 0;  // elements looked at by this open
    std::size_t textBytes_ = 0;
};

}  // namespace

bool readsMarkup(const MappingModel& model) {
    auto marks = [](const CompiledPath& path) {
        return path.present && !path.steps.empty() &&
               path.steps.back().kind == PathStep::Kind::XmlData;
    };
    std::vector<const TableClassMap*> maps;
    for (const auto& map : model.maps) maps.push_back(map.get());
    while (!maps.empty()) {
        const TableClassMap* map = maps.back();
        maps.pop_back();
        for (const MapColumn* column : map->byField)
            if (marks(column->path1) || marks(column->path2) || marks(column->path3)) return true;
        for (const auto& child : map->children) maps.push_back(child.get());
    }
    return false;
}

namespace {

template <class View>
bool readWith(MappingModel& model, const ReadSettings& settings, const View& view,
              typename View::Node start) {
    try {
        return Reader<View>(model, settings, view).run(start);
    } catch (const std::bad_alloc&) {
        report(Error::OutOfMemory);
        return false;
    } catch (const ReadStopped&) {
        return false;
    }
}

}  // namespace

unsigned long setElementVisitBound(unsigned long bound) {
    const unsigned long previous = g_visitBound;
    g_visitBound = bound;
    return previous;
}

bool readDocument(MappingModel& model, xercesc::DOMNode* start, const ReadSettings& settings) {
    if (!start || !model.root()) return true;
    const DomView view(model.ignoreNameSpace != 0, *settings.toHost);
    return readWith(model, settings, view, start);
}

bool readDocument(MappingModel& model, const CompactTree& tree, const ReadSettings& settings) {
    if (!model.root()) return true;
    const CompactView view(tree, model.ignoreNameSpace != 0, *settings.toHost);
    return readWith(model, settings, view, CompactTree::kDocument);
}

}  // namespace qv
