#include "xmap/describe.h"

#include <cstdio>

namespace qv {
namespace {

// Entry codes besides the column kinds.
constexpr int kCodeReplace = 1000;
constexpr int kCodeAppend = 1001;
constexpr int kCodeOrder = 2;
constexpr int kCodeChildOfDeclared = 5;
constexpr int kCodeChildOfNumbered = 6;
constexpr int kCodeChildOfMulti = 7;

class Describer {
public:
    Describer(const MappingModel& model, const RecordMarks& marks, std::string& out)
        : model_(model), marks_(marks), out_(out) {}

    void map(const TableClassMap& m, bool notFirst, int level) {
        if (notFirst) out_ += marks_.field;
        if (m.tableName)
            out_ += *m.tableName;
        else if (model_.emptyStringIsNull)
            out_ += marks_.null;
        out_ += marks_.subvalue;
        number(level);
        for (const MapColumn* c : m.byField) column(*c);
        for (const OrderColumnRef& ref : m.orderColumns) entry(ref.field(), kCodeOrder);
        for (const auto& child : m.children) map(*child, true, level + 1);
    }

private:
    void number(int n) {
        char digits[16];
        const int len = std::snprintf(digits, sizeof digits, "%d", n);
        out_.append(digits, static_cast<std::size_t>(len));
    }

    // VM, the field number, SM and the code.
    void entry(int field, int code) {
        out_ += marks_.value;
        number(field);
        out_ += marks_.subvalue;
        number(code);
    }

    void column(const MapColumn& c) {
        if (c.action == kActionReplace)
            entry(c.field, kCodeReplace);
        else if (c.action == kActionAppend && c.multivalued)
            entry(c.field, kCodeAppend);
        switch (c.kind) {
            case ColumnKind::Regular:
            case ColumnKind::GeneratedOrder:
            case ColumnKind::NestedMap:
                return;
            case ColumnKind::ChildKey:
            case ColumnKind::ChildKeyMulti: {
                const MapColumn* key = c.parentKey;
                int code = kCodeChildOfDeclared;
                if (c.kind == ColumnKind::ChildKeyMulti)
                    code = kCodeChildOfMulti;
                else if (key && (key->kind == ColumnKind::RecordId ||
                                 key->kind == ColumnKind::GeneratedParentKey))
                    code = kCodeChildOfNumbered;
                entry(c.field, code);
                out_ += marks_.subvalue;
                number(c.parentMap ? c.parentMap->sequence : 0);
                out_ += marks_.subvalue;
                number(key ? key->field : 0);
                return;
            }
            default:
                entry(c.field, static_cast<int>(c.kind));
                if (c.kind != ColumnKind::RecordId) return;
                // The record ID's origin: an XFIELD, else a SUBR.
                if (c.part1) {
                    out_ += marks_.subvalue;
                    out_ += '1';
                    out_ += marks_.subvalue;
                    out_ += *c.part1;
                } else if (c.part2) {
                    out_ += marks_.subvalue;
                    out_ += '2';
                    out_ += marks_.subvalue;
                    out_ += *c.part2;
                }
                return;
        }
    }

    const MappingModel& model_;
    const RecordMarks& marks_;
    std::string& out_;
};

}  // namespace

void describeMapping(const MappingModel& model, const RecordMarks& marks, std::string& out) {
    Describer d(model, marks, out);
    bool notFirst = false;
    for (const auto& m : model.maps) {
        d.map(*m, notFirst, 1);
        notFirst = true;
    }
}

}  // namespace qv
