// Reading the mapping vocabulary out of a parsed mapping or extraction file.
#include "xmap/loader.h"

#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/util/XMLString.hpp>

#include "frame/errors.h"
#include "frame/limits.h"
#include "xdom/handle.h"
#include "frame/transcode.h"
#include "xmap/binding.h"
#include "xmap/paths.h"

using namespace xercesc;

namespace qv {
namespace {

constexpr char kXmlDateFormat[] = "D-YMD[4,2,2]";

const XMLCh* localNameOf(const DOMNode* n) {
    const XMLCh* name = n->getLocalName();
    return name ? name : n->getNodeName();
}

bool isElement(const DOMNode* n) { return n->getNodeType() == DOMNode::ELEMENT_NODE; }

// Element named exactly (full name as written).
bool named(const DOMNode* n, const XMLCh* name) {
    return isElement(n) && XMLString::equals(n->getNodeName(), name);
}

// The next node after `n` in document order within `top`'s subtree.
const DOMNode* nextInDocument(const DOMNode* n, const DOMNode* top) {
    if (const DOMNode* child = n->getFirstChild()) return child;
    for (; n && n != top; n = n->getParentNode())
        if (const DOMNode* next = n->getNextSibling()) return next;
    return nullptr;
}

// Calls f(element) for every element of the document in document order; f
// returns false to stop.
template <class F>
void forEachElement(const DOMDocument* doc, F&& f) {
    for (const DOMNode* n = doc->getFirstChild(); n; n = nextInDocument(n, doc))
        if (isElement(n) && !f(static_cast<const DOMElement*>(n))) return;
}

// Elements with this local name, in any namespace: how many, and the first.
struct Found {
    int count = 0;
    const DOMElement* first = nullptr;
};
Found findByLocalName(const DOMDocument* doc, const XMLCh* name) {
    Found found;
    forEachElement(doc, [&](const DOMElement* e) {
        if (XMLString::equals(localNameOf(e), name) && found.count++ == 0) found.first = e;
        return true;
    });
    return found;
}

int actionOf(const Text& value) {
    if (equalsNoCase(value, "Replace")) return kActionReplace;
    if (equalsNoCase(value, "Append")) return kActionAppend;
    return kActionNone;
}

class Loader {
public:
    Loader(MappingModel& model, int& mode, const HostTranscoder& toHost)
        : model_(model), mode_(mode), toHost_(toHost) {}

    bool load(const DOMDocument* doc);

private:
    // Attribute of that local name without a namespace (any namespace under
    // IgnoreNameSpace), converted to host text; absent when there is none.
    Text attr(const DOMElement* e, const XMLCh* name) const;
    // First child element of that local name, matched the same way.
    const DOMElement* childByLocalName(const DOMElement* e, const XMLCh* name) const;
    bool namespaceAccepted(const XMLCh* uri) const {
        return model_.ignoreNameSpace || !uri || !*uri;
    }

    bool loadExtraction(const DOMDocument* doc);
    bool loadMappingFile(const DOMDocument* doc);
    bool readOptions(const DOMElement* options);
    bool readOption(const DOMElement* option);
    bool readTableClassMap(const DOMElement* e);
    bool readColumnMap(TableClassMap& map, const DOMElement* e);
    bool readRelatedTable(const DOMElement* e);

    bool nestMaps();
    bool nestLevel(std::vector<std::unique_ptr<TableClassMap>>& level, bool top);
    bool nestEntries(TableClassMap& map);
    bool bindOrderColumns();
    bool linkRelatedTables();
    bool linkRelated(TableClassMap& parent, const RelatedTableLink& link);

    MappingModel& model_;
    int& mode_;
    const HostTranscoder& toHost_;
};

Text Loader::attr(const DOMElement* e, const XMLCh* name) const {
    const DOMNamedNodeMap* attrs = e->getAttributes();
    const XMLSize_t n = attrs ? attrs->getLength() : 0;
    for (XMLSize_t i = 0; i < n; ++i) {
        const DOMNode* a = attrs->item(i);
        if (!XMLString::equals(localNameOf(a), name) || !namespaceAccepted(a->getNamespaceURI()))
            continue;
        const XMLCh* value = a->getNodeValue();
        std::string text;
        toHost_.appendHost(text, value, xmlLength(value));
        return text;
    }
    return std::nullopt;
}

const DOMElement* Loader::childByLocalName(const DOMElement* e, const XMLCh* name) const {
    for (const DOMNode* c = e->getFirstChild(); c; c = c->getNextSibling())
        if (isElement(c) && XMLString::equals(localNameOf(c), name) &&
            namespaceAccepted(c->getNamespaceURI()))
            return static_cast<const DOMElement*>(c);
    return nullptr;
}

bool Loader::load(const DOMDocument* doc) {
    Found extraction = findByLocalName(doc, u"QVXML_extraction");
    if (extraction.count == 0) extraction = findByLocalName(doc, u"QVxml_extraction");
    if (extraction.count > 1) {
        report(Error::TooManyExtractions);
        return false;
    }
    if (extraction.count == 1) return loadExtraction(doc);
    return loadMappingFile(doc);
}

// ---- Extraction files -------------------------------------------------------------

bool Loader::loadExtraction(const DOMDocument* doc) {
    mode_ = QV_XMAP_EXTRACTION;
    model_.bindingKind = 0;
    model_.emptyStringIsNull = 0;
    model_.maps.push_back(std::make_unique<TableClassMap>());
    TableClassMap& map = *model_.maps.front();

    const DOMElement* file = nullptr;
    forEachElement(doc, [&](const DOMElement* e) {
        if (named(e, u"file_extraction")) file = e;
        return file == nullptr;
    });
    if (!file) {
        report(Error::MissingElement, "file-extraction", "extraction file");
        return false;
    }
    Text start = attr(file, u"start");
    if (!start) {
        report(Error::MissingAttribute, "start", "file_extraction");
        return false;
    }
    if (!normaliseExtractionStart(*start, model_)) return false;
    map.startPath = std::move(start);
    map.tableName = attr(file, u"dictionary");
    if (equalsNoCase(attr(file, u"null"), "NULL")) model_.emptyStringIsNull = 1;
    if (equalsNoCase(attr(file, u"by_name"), "ON")) model_.bindingKind = 1;

    bool ok = true;
    const PathOrigin origin{"path", "field"};
    forEachElement(doc, [&](const DOMElement* e) {
        if (!named(e, u"field_extraction")) return true;
        Text name = attr(e, u"field");
        Text path = attr(e, u"path");
        if (!name || !path) {
            report(Error::MissingAttribute, name ? "path" : "field", "<field_extraction>");
            return ok = false;
        }
        auto column = std::make_unique<MapColumn>();
        column->name = std::move(name);
        if (!setColumnPath(*column, std::move(*path), model_, origin)) return ok = false;
        map.columns.push_back(std::move(column));
        return true;
    });
    if (!ok) return false;

    model_.ignoreNameSpace = 1;
    if (model_.bindingKind == 1) return bindMap(map, mode_);
    numberByPosition(map);
    return true;
}

// ---- Mapping files ----------------------------------------------------------------

bool Loader::loadMappingFile(const DOMDocument* doc) {
    model_.bindingKind = 10;
    const Found root = findByLocalName(doc, u"QVXMAP");
    if (root.count == 0) {
        report(Error::NotAMappingFile);
        return false;
    }
    if (root.count > 1) {
        report(Error::TooManyMappings);
        return false;
    }
    if (!root.first->hasChildNodes()) {
        report(Error::EmptyMapping);
        return false;
    }
    for (const DOMNode* c = root.first->getFirstChild(); c; c = c->getNextSibling()) {
        if (named(c, u"OPTIONS") && !readOptions(static_cast<const DOMElement*>(c)))
            return false;
        if (named(c, u"TABLECLASSMAP")) {
            if (model_.maps.size() >= static_cast<std::size_t>(limits::kMaxMaps)) {
                report(Error::TooManyMaps, limits::kMaxMaps);
                return false;
            }
            if (!readTableClassMap(static_cast<const DOMElement*>(c))) return false;
        }
    }
    if (model_.maps.empty()) {
        report(Error::MissingElement, "TABLECLASSMAP", "QVXMAP");
        return false;
    }
    for (const DOMNode* c = root.first->getFirstChild(); c; c = c->getNextSibling())
        if (named(c, u"RelatedTable") && !readRelatedTable(static_cast<const DOMElement*>(c)))
            return false;

    if (!nestMaps() || !bindOrderColumns()) return false;
    model_.mapSequence = 1;
    if (!linkRelatedTables()) return false;
    return bindTree(model_, mode_) && deriveKeyPaths(model_);
}

bool Loader::readOptions(const DOMElement* options) {
    for (const DOMNode* c = options->getFirstChild(); c; c = c->getNextSibling())
        if (isElement(c) && !readOption(static_cast<const DOMElement*>(c))) return false;
    return true;
}

bool Loader::readOption(const DOMElement* e) {
    if (named(e, u"EmptyString")) {
        const Text isNull = attr(e, u"IsNull");
        if (!isNull) {
            report(Error::OptionAttributeRequired, "IsNULL", "<EmptyString>");
            return false;
        }
        if (equalsNoCase(isNull, "ON")) model_.emptyStringIsNull = 1;
    } else if (named(e, u"DateFormat")) {
        Text format = attr(e, u"Format");
        if (!format) {
            report(Error::OptionAttributeRequired, "Format", "<DateFormat>");
            return false;
        }
        model_.dateFormat = equalsNoCase(format, "XMLFormat") ? Text(kXmlDateFormat) : std::move(format);
    } else if (named(e, u"IgnoreNameSpace")) {
        if (!model_.namespaces.empty()) {
            report(Error::IgnoredAndDeclaredNamespace);
            return false;
        }
        model_.ignoreNameSpace = 1;
    } else if (named(e, u"NameSpace")) {
        Text prefix = attr(e, u"Prefix");
        Text uri = attr(e, u"URI");
        if (prefix) {
            if (model_.ignoreNameSpace) {
                report(Error::IgnoredAndDeclaredNamespace);
                return false;
            }
            if (!uri) {
                report(Error::OptionAttributeRequired, "URI", "<NameSpace>");
                return false;
            }
            model_.namespaces.insert(model_.namespaces.begin(),
                                     NameSpaceEntry{false, std::move(*prefix), std::move(*uri)});
        } else {
            if (model_.defaultNamespace) {
                report(Error::DefaultNamespaceRedefined);
                return false;
            }
            model_.defaultNamespace = std::move(uri);
        }
    } else if (named(e, u"Cascade")) {
        model_.cascade = 1;
    } else if (named(e, u"ExistRecord")) {
        const Text action = attr(e, u"Action");
        if (!action) {
            report(Error::OptionAttributeRequired, "Action", "ExistRecord");
            return false;
        }
        model_.existRecordAction = actionOf(action);
    } else {
        report(Error::IllegalMapOption, localText(e->getNodeName()).c_str());
        return false;
    }
    return true;
}

bool Loader::readTableClassMap(const DOMElement* e) {
    auto map = std::make_unique<TableClassMap>();
    map->mapName = attr(e, u"MapName");
    map->tableName = attr(e, u"TableName");
    map->startPath = attr(e, u"StartNode");
    const Text action = attr(e, u"Action");
    map->action = action ? actionOf(action) : model_.existRecordAction;
    if (map->startPath && !normaliseStartPath(*map->startPath, model_)) return false;

    for (const DOMNode* c = e->getFirstChild(); c; c = c->getNextSibling()) {
        if (!isElement(c)) continue;
        const auto* child = static_cast<const DOMElement*>(c);
        if (named(c, u"ColumnMap")) {
            if (!readColumnMap(*map, child)) return false;
        } else if (named(c, u"GenerateID")) {
            Text name = attr(child, u"Column");
            if (!name) name = attr(child, u"field");
            if (!name) {
                report(Error::MissingAttribute, "<Column>", "<GenerateID>");
                return false;
            }
            auto column = std::make_unique<MapColumn>();
            column->kind = ColumnKind::RecordId;
            column->name = std::move(name);
            column->part1 = attr(child, u"XFIELD");
            column->part2 = attr(child, u"SUBR");
            map->columns.push_back(std::move(column));
        } else if (named(c, u"OrderColumn")) {
            OrderColumnRef ref;
            ref.name = attr(child, u"Column");
            ref.generate = attr(child, u"Generate");
            // A nameless order column would reach the host's dictionary as a null name.
            if (!ref.name) {
                report(Error::MissingAttribute, "Column", "<OrderColumn>");
                return false;
            }
            map->orderColumns.push_back(std::move(ref));
        } else if (named(c, u"TableMap")) {
            auto column = std::make_unique<MapColumn>();
            column->kind = ColumnKind::NestedMap;
            column->name = attr(child, u"MapName");
            column->part1 = attr(child, u"Node");
            map->columns.push_back(std::move(column));
        }
    }
    model_.maps.push_back(std::move(map));
    return true;
}

bool Loader::readColumnMap(TableClassMap& map, const DOMElement* e) {
    Text name = attr(e, u"Column");
    if (!name) name = attr(e, u"field");
    Text path = attr(e, u"Node");
    if (!path) path = attr(e, u"path");
    const Text action = attr(e, u"Action");
    if (!name) {
        report(Error::MissingAttribute, "Column", "<ColumnMap>");
        return false;
    }
    if (!path) {
        report(Error::MissingAttribute, "Node", "<ColumnMap>");
        return false;
    }
    auto column = std::make_unique<MapColumn>();
    column->name = std::move(name);
    if (!setColumnPath(*column, std::move(*path), model_, PathOrigin{"Node", "Column"}))
        return false;
    column->action = action ? actionOf(action) : map.action;
    map.columns.push_back(std::move(column));
    return true;
}

bool Loader::readRelatedTable(const DOMElement* e) {
    if (!e->hasChildNodes()) {
        report(Error::MissingMapParentKey);
        return false;
    }
    const DOMElement* parentKey = childByLocalName(e, u"MapParentKey");
    if (!parentKey) {
        report(Error::MissingMapParentKey);
        return false;
    }
    const DOMElement* childKey = childByLocalName(e, u"MapChildKey");
    if (!childKey) {
        report(Error::MissingMapChildKey);
        return false;
    }
    const Text parentTable = attr(parentKey, u"TableName");
    if (!parentTable) {
        report(Error::MissingAttribute, "TableName", "<MapParentKey>");
        return false;
    }
    TableClassMap* parent = findMap(model_, parentTable->c_str(), true);
    if (!parent) {
        report(Error::RelatedTableWithoutMap, parentTable->c_str());
        return false;
    }
    RelatedTableLink link;
    link.childTable = attr(childKey, u"TableName");
    link.keyGenerate = attr(parentKey, u"KeyGenerate");
    link.parentColumn = attr(parentKey, u"Column");
    link.childColumn = attr(childKey, u"Column");
    const char* missing[][2] = {{"TableName", "<MapChildKey>"},
                                {"KeyGenerate", "<MapParentKey>"},
                                {"<Column>", "<MapParentKey>"},
                                {"<Column>", "<MapChildKey>"}};
    const Text* fields[] = {&link.childTable, &link.keyGenerate, &link.parentColumn,
                            &link.childColumn};
    for (int i = 0; i < 4; ++i) {
        if (!*fields[i]) {
            report(Error::MissingAttribute, missing[i][0], missing[i][1]);
            return false;
        }
    }
    parent->related.insert(parent->related.begin(), std::move(link));
    return true;
}

// ---- Cross-checks -------------------------------------------------------------------

// Levels above the map (0 for a top-level map).
int depthOf(const TableClassMap* map) {
    int depth = 0;
    for (const TableClassMap* m = map->parent; m; m = m->parent) ++depth;
    return depth;
}

// Levels of maps below the map (0 when it nests none), without recursion.
int heightOf(const TableClassMap* map) {
    int height = 0;
    std::vector<std::pair<const TableClassMap*, int>> pending{{map, 0}};
    while (!pending.empty()) {
        auto [m, level] = pending.back();
        pending.pop_back();
        if (level > height) height = level;
        for (const auto& child : m->children) pending.emplace_back(child.get(), level + 1);
    }
    return height;
}

bool isAncestor(const TableClassMap* candidate, const TableClassMap* of) {
    for (const TableClassMap* m = of->parent; m; m = m->parent)
        if (m == candidate) return true;
    return false;
}

std::size_t indexIn(const std::vector<std::unique_ptr<TableClassMap>>& level,
                    const TableClassMap* m) {
    for (std::size_t i = 0; i < level.size(); ++i)
        if (level[i].get() == m) return i;
    return level.size();
}

bool Loader::nestMaps() { return nestLevel(model_.maps, true); }

// Walks depth first while nesting moves maps out of the top level: positions on
// the top level are found again after each step.
bool Loader::nestLevel(std::vector<std::unique_ptr<TableClassMap>>& level, bool top) {
    for (std::size_t i = 0; i < level.size(); ++i) {
        TableClassMap* m = level[i].get();
        if (!nestEntries(*m)) return false;
        if (!nestLevel(m->children, false)) return false;
        if (top) i = indexIn(level, m);
    }
    return true;
}

bool Loader::nestEntries(TableClassMap& map) {
    // Entries are visited in declaration order; nesting inserts only into
    // `children`, never into `columns`, so the walk stays valid.
    for (const auto& entry : map.columns) {
        if (entry->kind != ColumnKind::NestedMap) continue;
        std::size_t at = model_.maps.size();
        if (entry->name)
            for (std::size_t i = 0; i < model_.maps.size() && at == model_.maps.size(); ++i)
                if (equalsNoCase(model_.maps[i]->mapName, entry->name->c_str())) at = i;
        TableClassMap* found = at < model_.maps.size() ? model_.maps[at].get() : nullptr;
        // A map may not nest itself, directly or through the maps above it (that
        // would make a cycle), nor the root, which must stay at the top.
        if (found && (found == &map || isAncestor(found, &map))) {
            report(Error::TableMapOfOwnMap, shown(entry->name), shown(map.mapName));
            return false;
        }
        if (!found || at == 0) {
            report(Error::TableMapUnknown, shown(entry->name), shown(map.mapName));
            return false;
        }
        if (!found->startPath || !entry->part1 || !equalsNoCase(*found->startPath, entry->part1->c_str())) {
            report(Error::TableMapPathDiffers, shown(entry->part1), shown(found->mapName), shown(found->startPath));
            return false;
        }
        // The walks over the map tree recurse level by level: nesting is held to
        // a depth that no stack minds.
        if (depthOf(&map) + 1 + heightOf(found) >= limits::kMaxMapNesting) {
            report(Error::MapNestingTooDeep, limits::kMaxMapNesting, shown(entry->name), shown(map.mapName));
            return false;
        }
        std::unique_ptr<TableClassMap> moved = std::move(model_.maps[at]);
        model_.maps.erase(model_.maps.begin() + std::ptrdiff_t(at));
        moved->parent = &map;
        map.children.insert(map.children.begin(), std::move(moved));
    }
    return true;
}

bool Loader::bindOrderColumns() {
    return forEachMap(model_, [](TableClassMap& map) {
        for (OrderColumnRef& ref : map.orderColumns) {
            MapColumn* column = findColumn(map, cstr(ref.name));
            if (equalsNoCase(ref.generate, "YES")) {
                if (column) {
                    report(Error::GeneratedOrderRedefined, shown(ref.name));
                    return false;
                }
                column = &addColumn(map, cstr(ref.name), ColumnKind::GeneratedOrder);
                column->counter = 1;
            } else if (!column) {
                report(Error::RegularOrderUndefined, shown(ref.name));
                return false;
            }
            ref.column = column;
        }
        return true;
    });
}

bool Loader::linkRelatedTables() {
    return forEachMap(model_, [this](TableClassMap& map) {
        for (const RelatedTableLink& link : map.related)
            if (!linkRelated(map, link)) return false;
        map.sequence = model_.mapSequence++;
        return true;
    });
}

bool Loader::linkRelated(TableClassMap& parent, const RelatedTableLink& link) {
    TableClassMap* child = findMap(model_, cstr(link.childTable), true);
    if (!child) {
        report(Error::RelatedTableUnknown, shown(link.childTable));
        return false;
    }
    const char* parentColumn = cstr(link.parentColumn);
    MapColumn* key = findColumn(parent, parentColumn);
    if (link.generatesKey()) {
        if (key) {
            report(Error::ParentKeyAlreadyDefined, parentColumn, shown(parent.mapName));
            return false;
        }
        key = &addColumn(parent, parentColumn, ColumnKind::GeneratedParentKey);
    } else {
        if (!key) {
            report(Error::ParentKeyUndefined, parentColumn, shown(parent.mapName));
            return false;
        }
        if (key->kind != ColumnKind::RecordId) key->kind = ColumnKind::ParentKey;
    }
    const char* childColumn = cstr(link.childColumn);
    if (findColumn(*child, childColumn)) {
        report(Error::ChildKeyAlreadyDefined, childColumn, shown(child->mapName));
        return false;
    }
    MapColumn& childKey = addColumn(*child, childColumn, ColumnKind::ChildKey);
    if (child->sequence != 0) {
        report(Error::ParentKeyShouldBeChildKey, parentColumn, shown(parent.tableName));
        return false;
    }
    key->counter = 1;
    childKey.parentKey = key;
    childKey.parentMap = &parent;
    return true;
}

}  // namespace

bool loadMapping(MappingModel& model, QvHandle_* mappingHandle, int& mode,
                 const HostTranscoder& toHost) {
    // Read as a DOM.
    DOMDocument* mapping =
        mappingHandle && mappingHandle->isDocument() ? mappingHandle->domDocument() : nullptr;
    if (!mapping) {
        report(Error::MappingNotADocument);
        model.clear();
        return false;
    }
    model.clear();
    bool ok = false;
    try {
        ok = Loader(model, mode, toHost).load(mapping);
    } catch (...) {
        model.clear();
        throw;
    }
    if (!ok) model.clear();
    return ok;
}

}  // namespace qv
