// Load-time treatment of mapping paths.
#include "xmap/paths.h"

#include <algorithm>
#include <cstring>

#include "frame/errors.h"

namespace qv {
namespace {

int countSlashes(const char* text) {
    int n = 0;
    for (; text && *text; ++text) n += (*text == '/');
    return n;
}

// Counts "/" in `text` after its first `skip` bytes (none when it is shorter).
int countSlashesAfter(const std::string& text, std::size_t skip) {
    return skip >= text.size() ? 0 : countSlashes(text.c_str() + skip);
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0 && text.size() >= prefix.size();
}

// A part ends a level when nothing may follow it in a lower part.
bool endsLevel(const Text& part) {
    return part && (part->find('@') != std::string::npos || equalsNoCase(*part, "text()") ||
                    equalsNoCase(*part, "xmldata()"));
}

std::string climb(int levels, const std::string& rest) {
    std::string out;
    out.reserve(3 * std::size_t(std::max(levels, 0)) + rest.size());
    for (int i = 0; i < levels; ++i) out += "../";
    return out += rest;
}

}  // namespace

void removeBlanks(std::string& path) {
    path.erase(std::remove_if(path.begin(), path.end(), [](char c) { return c == ' ' || c == '\t'; }),
               path.end());
}

bool checkPrefixes(std::string& path, MappingModel& model) {
    if (path.find(':') == std::string::npos) return true;
    if (model.ignoreNameSpace) {
        report(Error::NamespaceWhileIgnored);
        return false;
    }
    std::size_t begin = 0;  // first byte of the current prefix
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '/' || c == ',') {
            begin = i + 1;
        } else if (c == ':') {
            std::string prefix = path.substr(begin, i - begin);
            begin = i + 1;
            if (prefix.empty()) {
                report(Error::EmptyNamespace, path.c_str());
                return false;
            }
            if (prefix[0] == '@') prefix.erase(0, 1);
            NameSpaceEntry* entry = findNamespace(model, prefix.c_str(), false);
            if (!entry) {
                report(Error::UndefinedNamespace, prefix.c_str());
                return false;
            }
            entry->referenced = true;
        }
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return true;
}

bool setColumnPath(MapColumn& column, std::string path, MappingModel& model,
                   const PathOrigin& origin) {
    removeBlanks(path);
    if (!checkPrefixes(path, model)) return false;

    const std::size_t c1 = path.find(',');
    const std::size_t c2 = c1 == std::string::npos ? c1 : path.find(',', c1 + 1);
    const std::size_t c3 = c2 == std::string::npos ? c2 : path.find(',', c2 + 1);

    bool bad = false;
    if (c3 != std::string::npos && c3 + 1 < path.size()) {
        report(Error::TooManyCommas);
        bad = true;
    } else {
        column.part1 = path.substr(0, c1);
        column.part2.reset();
        column.part3.reset();
        if (c1 != std::string::npos) {
            std::string p2 = path.substr(c1 + 1, c2 == std::string::npos ? c2 : c2 - c1 - 1);
            if (c2 != std::string::npos || !p2.empty()) column.part2 = std::move(p2);
            if (c2 != std::string::npos && c2 + 1 < path.size()) column.part3 = path.substr(c2 + 1);
        }
        if ((endsLevel(column.part1) && column.part2) || (endsLevel(column.part2) && column.part3)) {
            report(Error::TerminalStepNotLast);
            bad = true;
        }
    }
    if (bad) {
        report(Error::InvalidMapPath, path.c_str(), origin.attribute, origin.word,
               column.name ? column.name->c_str() : "");
        return false;
    }
    return true;
}

bool normaliseStartPath(std::string& path, MappingModel& model) {
    removeBlanks(path);
    return checkPrefixes(path, model);
}

bool normaliseExtractionStart(std::string& path, MappingModel& model) {
    if (!normaliseStartPath(path, model)) return false;
    if (path.empty() || path[0] != '/') {
        report(Error::StartPathNotRooted);
        return false;
    }
    if (path.find('@') != std::string::npos) {
        report(Error::AttributeInStartPath);
        return false;
    }
    return true;
}

namespace {

// What one map fixes while its child keys are walked.
struct KeyLevels {
    const std::string* multiPath = nullptr;  // the parent key's part 1
    int n = 0;                               // levels from a record up to the multivalue node
    const std::string* subPath = nullptr;    // the parent key's part 2 (subvalued keys)
    int m = 0;                               // levels up to the subvalue node
};

bool deriveForMap(TableClassMap& map) {
    KeyLevels levels;
    for (MapColumn* k : map.byField) {
        if (k->kind != ColumnKind::ChildKey || k->parentMap != map.parent || !map.parent ||
            k->multivalued)
            continue;
        const MapColumn* p = k->parentKey;
        if (!p || !p->multivalued || !p->part2 || !p->part1) continue;
        if (!levels.multiPath) {
            if (!map.startPath || !startsWith(*map.startPath, *p->part1)) continue;
            levels.multiPath = &*p->part1;
            levels.n = countSlashesAfter(*map.startPath, p->part1->size());
        } else if (!startsWith(*p->part1, *levels.multiPath)) {
            report(Error::ForeignKeyPathsDiffer, shown(map.tableName));
            return false;
        }
        k->kind = ColumnKind::ChildKeyMulti;
        if (!p->part3) {
            k->part2 = climb(levels.n, *p->part2);
            continue;
        }
        if (!levels.subPath) {
            levels.subPath = &*p->part2;
            levels.m = countSlashesAfter(*map.startPath, p->part1->size() + 1 + p->part2->size());
        } else if (!startsWith(*p->part2, *levels.subPath)) {
            report(Error::ForeignKeyPathsDiffer, shown(map.tableName));
            return false;
        }
        k->part2 = climb(levels.m, *p->part3);
    }
    map.multivalueDepth = levels.multiPath ? countSlashes(levels.multiPath->c_str()) : -1;
    map.subvalueDepth = levels.subPath
                            ? map.multivalueDepth + countSlashes(levels.subPath->c_str()) + 1
                            : -1;
    return true;
}

}  // namespace

bool deriveKeyPaths(MappingModel& model) {
    return forEachMap(model, [](TableClassMap& m) { return deriveForMap(m); });
}

namespace {

// An element or attribute name, optionally prefixed: local name, the prefix's
// URI (exact match on the prefix; none when undeclared) and the name as written.
PathStep nameStep(const char* text, std::size_t n, PathStep::Kind kind,
                  const MappingModel& model, const HostTranscoder& toXml) {
    PathStep step;
    step.kind = kind;
    step.qualified = toXml.toXml(text, n);
    const char* colon = static_cast<const char*>(std::memchr(text, ':', n));
    if (colon) {
        step.prefixed = true;
        const std::string prefix(text, colon);
        for (const NameSpaceEntry& entry : model.namespaces) {
            if (entry.prefix == prefix) {
                step.uri = toXml.toXml(entry.uri.c_str());
                break;
            }
        }
        n -= static_cast<std::size_t>(colon + 1 - text);
        text = colon + 1;
    }
    step.local = toXml.toXml(text, n);
    return step;
}

}  // namespace

CompiledPath compilePath(const Text& text, PathUse use, const MappingModel& model,
                         const HostTranscoder& toXml) {
    CompiledPath path;
    if (!text) return path;
    path.present = true;
    const char* p = text->c_str();
    if (*p == '/') ++p;
    for (;;) {
        const char* slash = std::strchr(p, '/');
        const std::size_t n = slash ? static_cast<std::size_t>(slash - p) : std::strlen(p);
        const bool last = !slash;
        PathStep step;
        if (last && use == PathUse::Value) {
            if (equalsNoCase(std::string_view(p, n), "text()"))
                step.kind = PathStep::Kind::Text;
            else if (equalsNoCase(std::string_view(p, n), "xmldata()"))
                step.kind = PathStep::Kind::XmlData;
            else if (n > 0 && p[0] == '@')
                step = nameStep(p + 1, n - 1, PathStep::Kind::Attribute, model, toXml);
            else
                step = nameStep(p, n, PathStep::Kind::Element, model, toXml);
        } else if (n == 1 && p[0] == '.') {
            step.kind = PathStep::Kind::Self;
        } else if (n == 2 && p[0] == '.' && p[1] == '.') {
            step.kind = PathStep::Kind::Parent;
        } else if (n == 0 && last) {
            step.kind = PathStep::Kind::Self;  // a node path ending in "/" stays on the node
        } else {
            step = nameStep(p, n, PathStep::Kind::Element, model, toXml);
        }
        path.steps.push_back(std::move(step));
        if (last) break;
        p = slash + 1;
    }
    return path;
}

void compilePaths(MappingModel& model, const HostTranscoder& toXml) {
    forEachMap(model, [&](TableClassMap& map) {
        map.start = compilePath(map.startPath, PathUse::Node, model, toXml);
        for (auto& owned : map.columns) {
            MapColumn& c = *owned;
            if (c.kind == ColumnKind::ChildKeyMulti) {
                c.path2 = compilePath(c.part2, PathUse::Value, model, toXml);
            } else if (c.kind == ColumnKind::Regular || c.kind == ColumnKind::ParentKey) {
                const int parts = c.partCount();
                c.path1 = compilePath(c.part1, parts > 1 ? PathUse::Node : PathUse::Value, model,
                                      toXml);
                if (parts > 1)
                    c.path2 = compilePath(c.part2, parts > 2 ? PathUse::Node : PathUse::Value,
                                          model, toXml);
                if (parts > 2) c.path3 = compilePath(c.part3, PathUse::Value, model, toXml);
            }
        }
        return true;
    });
}

}  // namespace qv
