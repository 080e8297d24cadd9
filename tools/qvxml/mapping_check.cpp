#include "mapping_check.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include <xercesc/framework/XMLPScanToken.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "cli.h"
#include "mapping_info.h"
#include "session.h"

using namespace xercesc;

namespace qvcli {
namespace {

// ---- The vocabulary -------------------------------------------------------------

struct ElementRule {
    const char* name;
    std::vector<const char*> attributes;
};

// The children each element of a mapping file may have, with their attributes.
const std::map<std::string, std::vector<ElementRule>>& vocabulary() {
    static const std::map<std::string, std::vector<ElementRule>> rules = {
        {"QVXMAP",
         {{"OPTIONS", {}}, {"TABLECLASSMAP", {"MapName", "StartNode", "TableName", "Action"}},
          {"RelatedTable", {}}}},
        {"OPTIONS",
         {{"EmptyString", {"IsNull"}},
          {"DateFormat", {"Format"}},
          {"IgnoreNameSpace", {}},
          {"NameSpace", {"Prefix", "URI"}},
          {"Cascade", {}},
          {"ExistRecord", {"Action"}}}},
        {"TABLECLASSMAP",
         {{"ColumnMap", {"Column", "field", "Node", "path", "Action"}},
          {"GenerateID", {"Column", "field", "XFIELD", "SUBR"}},
          {"OrderColumn", {"Column", "Generate"}},
          {"TableMap", {"MapName", "Node"}}}},
        {"RelatedTable",
         {{"MapParentKey", {"TableName", "Column", "KeyGenerate"}},
          {"MapChildKey", {"TableName", "Column"}}}},
        {"QVXML_extraction",
         {{"file_extraction", {"start", "dictionary", "null", "by_name"}},
          {"field_extraction", {"field", "path"}}}},
    };
    return rules;
}

// Attributes that take keywords (compared without case, as the loader does).
const std::vector<const char*>* keywords(const std::string& element, const std::string& attribute) {
    static const std::vector<const char*> actions = {"Replace", "Append"};
    static const std::vector<const char*> onOff = {"ON", "OFF"};
    static const std::vector<const char*> yesNo = {"YES", "NO"};
    if (attribute == "Action") return &actions;
    if (element == "EmptyString" && attribute == "IsNull") return &onOff;
    if (element == "file_extraction" && attribute == "by_name") return &onOff;
    if ((element == "OrderColumn" && attribute == "Generate") ||
        (element == "MapParentKey" && attribute == "KeyGenerate"))
        return &yesNo;
    return nullptr;
}

// Edit distance, for "did you mean" (names are short).
std::size_t distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

template <class Names>
std::string suggestion(const std::string& written, const Names& names) {
    std::string best;
    std::size_t bestDistance = 3;
    for (const auto& name : names) {
        const std::size_t d = distance(written, name);
        if (d < bestDistance) {
            bestDistance = d;
            best = name;
        }
    }
    return best;
}

std::string listed(const std::vector<const char*>& names, const char* open, const char* close) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) out += i + 1 == names.size() ? " or " : ", ";
        out += std::string(open) + names[i] + close;
    }
    return out.empty() ? "none" : out;
}

// ---- Paths ------------------------------------------------------------------

bool nameStartByte(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool nameByte(unsigned char c) {
    return nameStartByte(c) || std::isdigit(c) || c == '-' || c == '.';
}

// An element or attribute name, optionally with one prefix.
bool qualifiedName(const std::string& name) {
    const std::size_t colon = name.find(':');
    for (const std::string& part :
         colon == std::string::npos
             ? std::vector<std::string>{name}
             : std::vector<std::string>{name.substr(0, colon), name.substr(colon + 1)}) {
        if (part.empty() || !nameStartByte(static_cast<unsigned char>(part[0]))) return false;
        for (unsigned char c : part)
            if (!nameByte(c)) return false;
    }
    return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        out.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return out;
        from = at + 1;
    }
}

std::string stepProblem(const std::string& step, bool lastStep, bool valuePart, bool start,
                        bool firstOfRooted) {
    if (step.find('[') != std::string::npos || step.find(']') != std::string::npos)
        return "predicates (\"[...]\") are not part of the mapping language: a step is one name, "
               "and same-named siblings are taken one per value";
    if (step.find('*') != std::string::npos)
        return "wildcards (\"*\", \"@*\") are not part of the mapping language: name the element "
               "or attribute";
    if (step.find('|') != std::string::npos)
        return "unions (\"|\") are not part of the mapping language";
    const bool terminal = strcasecmp(step.c_str(), "text()") == 0 ||
                          strcasecmp(step.c_str(), "xmldata()") == 0;
    if (terminal || step[0] == '@') {
        if (start) return "a start path names elements only: \"" + step + "\" cannot stand in it";
        if (!lastStep || !valuePart)
            return "\"" + step + "\" can only be the last step of the last part of a path";
        if (terminal) return "";
        if (!qualifiedName(step.substr(1))) return "\"" + step + "\" is not an attribute name";
        return "";
    }
    if (step.find('(') != std::string::npos || step.find(')') != std::string::npos)
        return "functions (\"" + step +
               "\") are not part of the mapping language: a value path ends in text(), "
               "xmldata(), @name or an element name";
    if (step == "." || step == "..") {
        if (firstOfRooted && step == "..") return "\"..\" at the start of a rooted path climbs above the document";
        if (lastStep && valuePart)
            return "a value path ends in text(), xmldata(), @name or an element name, not in \"" +
                   step + "\"";
        return "";
    }
    if (!qualifiedName(step)) return "\"" + step + "\" is not an element name";
    return "";
}

}  // namespace

std::string pathProblem(const std::string& written, bool start) {
    std::string path;
    for (char c : written)
        if (c != ' ' && c != '\t') path += c;
    if (path.empty()) return "the path is empty";
    const std::vector<std::string> parts = split(path, ',');
    if (start && parts.size() > 1) return "a start path has no \",\" parts";
    if (parts.size() > 3)
        return "a column path has at most three \",\" parts (field, value, subvalue)";
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const bool valuePart = !start && p + 1 == parts.size();
        std::string part = parts[p];
        // An empty part between two others is the node itself ("A,,C").
        if (part.empty()) {
            if (valuePart) return "the last part of the path is empty";
            continue;
        }
        const bool rooted = part[0] == '/';
        if (rooted && p > 0)
            return "only the first part of a path may begin with \"/\": parts " + std::to_string(p + 1) +
                   " and after are taken from the node the part before found";
        if (rooted) part.erase(0, 1);
        if (part.empty()) return "the path is only \"/\"";
        if (part[0] == '/' || part.find("//") != std::string::npos)
            return "\"//\" (any depth) is not part of the mapping language: write every element "
                   "on the way";
        std::vector<std::string> steps = split(part, '/');
        for (std::size_t s = 0; s < steps.size(); ++s) {
            const bool lastStep = s + 1 == steps.size();
            if (steps[s].empty()) {
                // A node path may end in "/" (the node itself); a value path may not.
                if (valuePart) return "a value path cannot end in \"/\"";
                continue;
            }
            std::string problem = stepProblem(steps[s], lastStep, valuePart, start, rooted && s == 0);
            if (!problem.empty()) return problem;
        }
    }
    return "";
}

namespace {

std::string text(const XMLCh* value) {
    if (!value) return "";
    char* local = XMLString::transcode(value);
    std::string out = local ? local : "";
    XMLString::release(&local);
    return out;
}

// ---- The reading ------------------------------------------------------------

struct ColumnUse {
    std::string table, column, path;
    int line, col;
};

class Checker : public DefaultHandler {
public:
    explicit Checker(MappingCheck& out) : out_(out) {}

    void setDocumentLocator(const Locator* const locator) override { locator_ = locator; }

    void startElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const qname,
                      const Attributes& attributes) override {
        const std::string name = text(qname), local = text(localname);
        const std::string parent = stack_.empty() ? std::string("-") : stack_.back();
        // The role this element plays: a name of the vocabulary, "?" below a mistake
        // (not looked at further), "-" outside the mapping.
        std::string role;
        if (local == "QVXMAP") {
            role = "QVXMAP";
        } else if (local == "QVXML_extraction" || local == "QVxml_extraction") {
            role = "QVXML_extraction";
        } else if (parent == "-") {
            // field_extraction elements are taken from anywhere in an extraction file.
            role = inExtraction_ && (name == "file_extraction" || name == "field_extraction")
                       ? name
                       : "-";
        } else if (parent == "?") {
            role = "?";
        } else if (vocabulary().count(parent)) {
            // RelatedTable's children are found by local name, the others by full name.
            role = parent == "RelatedTable" ? local : name;
            if (!checkChild(parent, role, name)) role = "?";
        } else {
            problem("<" + parent + "> has no child elements: <" + name +
                    "> in it is ignored by the library");
            role = "?";
        }
        if (role == "QVXML_extraction") inExtraction_ = true;
        if (role != "?" && role != "-") checkAttributes(role, name, attributes);
        if (role == "TABLECLASSMAP") {
            table_ = text(attributes.getValue(u"TableName"));
            const std::string start = text(attributes.getValue(u"StartNode"));
            const std::string map = text(attributes.getValue(u"MapName"));
            if (!map.empty()) out_.startPaths[map] = start;
            if (!table_.empty()) out_.startPaths.emplace(table_, start);
        }
        if (role == "file_extraction") table_ = text(attributes.getValue(u"dictionary"));
        stack_.push_back(role);
    }

    void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
        if (!stack_.empty()) stack_.pop_back();
    }

    const std::vector<ColumnUse>& columns() const { return columns_; }

private:
    void problem(const std::string& what) {
        out_.problems.push_back({locator_ ? int(locator_->getLineNumber()) : 0,
                                 locator_ ? int(locator_->getColumnNumber()) : 0, what});
    }

    // Whether `role` may stand under `parent`; reports it when not.
    bool checkChild(const std::string& parent, const std::string& role, const std::string& written) {
        const auto& children = vocabulary().at(parent);
        for (const ElementRule& rule : children)
            if (role == rule.name) return true;
        std::vector<std::string> names;
        for (const ElementRule& rule : children) names.push_back(rule.name);
        const std::string guess = suggestion(written, names);
        std::vector<const char*> allowed;
        for (const ElementRule& rule : children) allowed.push_back(rule.name);
        // The loader refuses unknown options itself; elsewhere it passes them over.
        problem("unknown element <" + written + "> in <" + parent + ">" +
                (parent == "OPTIONS" ? "" : ", which the library ignores") +
                (guess.empty() ? "" : ": did you mean <" + guess + ">?") + " (<" + parent +
                "> takes " + listed(allowed, "<", ">") + ")");
        return false;
    }

    const ElementRule* ruleOf(const std::string& role) const {
        for (const auto& [parent, children] : vocabulary())
            for (const ElementRule& rule : children)
                if (role == rule.name) return &rule;
        return nullptr;
    }

    void checkAttributes(const std::string& role, const std::string& written,
                         const Attributes& attributes) {
        const ElementRule* rule = ruleOf(role);
        const std::vector<const char*> none;
        const std::vector<const char*>& allowed = rule ? rule->attributes : none;
        std::string node, column;
        for (XMLSize_t i = 0; i < attributes.getLength(); ++i) {
            const std::string name = text(attributes.getQName(i));
            const std::string value = text(attributes.getValue(i));
            if (name == "xmlns" || name.rfind("xmlns:", 0) == 0) continue;
            const bool known = std::any_of(allowed.begin(), allowed.end(),
                                           [&](const char* a) { return name == a; });
            if (!known) {
                const std::string guess = suggestion(name, allowed);
                problem("unknown attribute " + name + " on <" + written +
                        ">, which the library ignores" +
                        (guess.empty() ? "" : ": did you mean " + guess + "?") + " (<" + written +
                        "> takes " + listed(allowed, "", "") + ")");
                continue;
            }
            if (const auto* words = keywords(role, name)) {
                const bool ok = std::any_of(words->begin(), words->end(), [&](const char* w) {
                    return strcasecmp(value.c_str(), w) == 0;
                });
                if (!ok)
                    problem(name + "=\"" + value + "\" on <" + written + ">: " + name + " takes " +
                            listed(*words, "\"", "\"") +
                            (suggestion(value, *words).empty()
                                 ? ""
                                 : " (did you mean \"" + suggestion(value, *words) + "\"?)") +
                            "; the library would take it as no value at all");
            }
            const bool startPath = (role == "TABLECLASSMAP" && name == "StartNode") ||
                                   (role == "TableMap" && name == "Node") ||
                                   (role == "file_extraction" && name == "start");
            const bool columnPath = (role == "ColumnMap" && (name == "Node" || name == "path")) ||
                                    (role == "field_extraction" && name == "path");
            if (startPath || columnPath) {
                const std::string why = pathProblem(value, startPath);
                if (!why.empty())
                    problem(name + "=\"" + value + "\" on <" + written + ">: " + why);
            }
            if (columnPath && node.empty()) node = value;
            if ((name == "Column" || name == "field") && column.empty()) column = value;
        }
        if ((role == "ColumnMap" || role == "field_extraction") && !column.empty() && !node.empty())
            columns_.push_back({table_, column, node,
                                locator_ ? int(locator_->getLineNumber()) : 0,
                                locator_ ? int(locator_->getColumnNumber()) : 0});
    }

    MappingCheck& out_;
    const Locator* locator_ = nullptr;
    std::vector<std::string> stack_;
    std::vector<ColumnUse> columns_;
    std::string table_;
    bool inExtraction_ = false;
};

// Xerces started and stopped around one use (the count is shared with the library).
struct XercesUse {
    XercesUse() { XMLPlatformUtils::Initialize(); }
    ~XercesUse() { XMLPlatformUtils::Terminate(); }
};

std::unique_ptr<SAX2XMLReader> makeReader(SecurityManager& security) {
    std::unique_ptr<SAX2XMLReader> reader(XMLReaderFactory::createXMLReader());
    reader->setFeature(XMLUni::fgSAX2CoreNameSpaces, true);
    reader->setFeature(XMLUni::fgSAX2CoreValidation, false);
    reader->setFeature(XMLUni::fgXercesLoadExternalDTD, false);
    reader->setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    security.setEntityExpansionLimit(10000);
    reader->setProperty(XMLUni::fgXercesSecurityManager, &security);
    return reader;
}

}  // namespace

std::string MappingCheck::lines(const std::string& file) const {
    std::string out;
    for (const MappingProblem& p : problems)
        out += file + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": " +
               p.text + "\n";
    return out;
}

MappingCheck checkMapping(const std::string& file, const MultivaluedLookup& multivalued) {
    MappingCheck out;
    XercesUse xerces;
    try {
        SecurityManager security;
        std::unique_ptr<SAX2XMLReader> reader = makeReader(security);
        Checker checker(out);
        reader->setContentHandler(&checker);
        reader->setErrorHandler(&checker);  // DefaultHandler: errors throw, which ends the check
        reader->parse(file.c_str());
        for (const ColumnUse& c : checker.columns())
            out.columns.push_back({c.table, c.column, c.path, c.line, c.col});
        for (const ColumnUse& c : checker.columns()) {
            if (c.path.find(',') != std::string::npos || !multivalued) continue;
            if (multivalued(c.table, c.column) != 1) continue;
            out.problems.push_back(
                {c.line, c.col,
                 "column " + c.column + " of " + c.table +
                     " is multivalued in its dictionary, but its path \"" + c.path +
                     "\" has one part: only the first value would be read. Name the repeating "
                     "element, then the value below it: \"ELEMENT,VALUE\" (for example "
                     "\"author,text()\" or \"copy,@id\")"});
        }
    } catch (...) {
        // Not well-formed or unreadable: parsing the mapping reports that.
    }
    std::stable_sort(out.problems.begin(), out.problems.end(),
                     [](const MappingProblem& a, const MappingProblem& b) {
                         return a.line != b.line ? a.line < b.line : a.column < b.column;
                     });
    return out;
}

MultivaluedLookup multivaluedIn(Session& session) {
    return [&session](const std::string& table, const std::string& column) {
        const qvhost::Dictionary* dictionary = session.host().findDictionary(table);
        const qvhost::Column* found = dictionary ? dictionary->find(column.c_str()) : nullptr;
        return found ? (found->multivalued ? 1 : 0) : -1;
    };
}

MappingCheck requireSoundMapping(const std::string& file, Session& session) {
    MappingCheck check = checkMapping(file, multivaluedIn(session));
    if (!check.problems.empty()) {
        std::string lines = check.lines(file);
        lines.pop_back();
        throw Failure(file + ": the mapping has " + std::to_string(check.problems.size()) +
                      (check.problems.size() == 1 ? " mistake" : " mistakes") +
                      " (nothing was imported):\n" + lines);
    }
    return check;
}

void warnNothingFound(const std::string& document, const MapEntry& map, const MappingCheck& check,
                      const MapEntry* parent, long long parents) {
    auto start = check.startPaths.find(map.mapName);
    if (start == check.startPaths.end()) start = check.startPaths.find(map.tableName);
    const std::string path = start == check.startPaths.end() ? "?" : start->second;
    if (parent) {
        std::fprintf(stderr,
                     "warning: %s: the start path \"%s\" of nested map %s finds no element, "
                     "though %lld %s record%s hold%s keys for it, so %s gets no records from it\n",
                     document.c_str(), path.c_str(), mapKey(map).c_str(), parents,
                     parent->tableName.c_str(), parents == 1 ? "" : "s", parents == 1 ? "s" : "",
                     map.tableName.c_str());
        return;
    }
    const std::string root = documentElement(document);
    std::fprintf(stderr,
                 "warning: %s: the start path \"%s\" of map %s finds no element, so %s gets no "
                 "records from it; the document element is %s\n",
                 document.c_str(), path.c_str(), mapKey(map).c_str(), map.tableName.c_str(),
                 root.empty() ? "unreadable" : root.c_str());
}

namespace {

// Stops the scan at the document element.
class FirstElement : public DefaultHandler {
public:
    std::string found;
    void startElement(const XMLCh* const uri, const XMLCh* const, const XMLCh* const qname,
                      const Attributes&) override {
        if (!found.empty()) return;
        const std::string ns = text(uri);
        found = "<" + text(qname) + ">" + (ns.empty() ? " (in no namespace)" : " (in namespace " + ns + ")");
    }
};

}  // namespace

std::string documentElement(const std::string& file) {
    XercesUse xerces;
    try {
        SecurityManager security;
        std::unique_ptr<SAX2XMLReader> reader = makeReader(security);
        FirstElement handler;
        reader->setContentHandler(&handler);
        reader->setErrorHandler(&handler);
        XMLPScanToken token;
        if (!reader->parseFirst(file.c_str(), token)) return "";
        while (handler.found.empty() && reader->parseNext(token)) {
        }
        reader->parseReset(token);
        return handler.found;
    } catch (...) {
        return "";
    }
}

}  // namespace qvcli
