// Reads an XML document with a mapping file through the reference host and prints
// the records of every table, marks shown readably.
//
//   qvxml_map [--cascade] DOCUMENT MAPPING [DICTIONARY_DIR]
//
// Dictionaries are read from DICTIONARY_DIR (default: the mapping file's folder) as
// "<FILE>.dict". Records are printed with the field mark as "^", the value mark as
// "]", the subvalue mark as "\" and the null mark as "~". Without --cascade every
// table is printed whole, in the order of the mapping file; with it, each record of
// the first table is followed by the records of its nested tables, indented.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/reference_host.h"
#include "qvxml.h"

namespace {

constexpr char kField = '\xFE', kValue = '\xFD', kSubvalue = '\xFC', kNull = '\x7F';

std::string readable(const char* record) {
    std::string out;
    for (const char* p = record; *p; ++p) {
        switch (*p) {
            case kField: out += '^'; break;
            case kValue: out += ']'; break;
            case kSubvalue: out += '\\'; break;
            case kNull: out += '~'; break;
            default: out += *p;
        }
    }
    return out;
}

// The map names of a parsed mapping file whose document element is QVXMAP, in file
// order, found with the navigation exports. An extraction file has one table, read
// by the empty name.
std::vector<std::string> tableNames(QvHandle mapping) {
    std::vector<std::string> names;
    QvHandle root = QV_XDOMLocateNode(mapping, QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT);
    QvHandle node =
        root ? QV_XDOMLocateNode(root, QV_DIR_CHILD, QV_CHILD_FIRST, QV_NODE_ELEMENT) : nullptr;
    while (node) {
        const char* element = QV_XDOMGetNodeName(node);
        if (element && std::strcmp(element, "TABLECLASSMAP") == 0) {
            for (const char* attribute : {"MapName", "TableName"}) {
                QvHandle a = QV_XDOMGetAttribute(node, attribute);
                const char* value = a ? QV_XDOMGetNodeValue(a) : nullptr;
                if (value) names.emplace_back(value);
                QV_XDOMClose(a);
                if (value) break;
            }
        }
        QvHandle next = QV_XDOMLocateNode(node, QV_DIR_NEXT_SIBLING, 0, QV_NODE_ELEMENT);
        QV_XDOMClose(node);
        node = next;
    }
    QV_XDOMClose(root);
    Q_XMLResetErrMsg();  // the last step finds no further sibling: expected, not an error
    if (names.empty()) names.emplace_back();
    return names;
}

void printTable(QvDataset ds, const std::string& name, const char* indent) {
    char* record = nullptr;
    while (QV_XMAPReadNext(ds, name.c_str(), &record) == 0)
        std::printf("%s%s\n", indent, readable(record).c_str());
}

int usage() {
    std::fprintf(stderr, "usage: qvxml_map [--cascade] DOCUMENT MAPPING [DICTIONARY_DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool cascade = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cascade") == 0)
            cascade = true;
        else
            args.emplace_back(argv[i]);
    }
    if (args.size() < 2 || args.size() > 3) return usage();
    const std::string& document = args[0];
    const std::string& mappingPath = args[1];
    std::string dictionaries = args.size() > 2 ? args[2] : mappingPath;
    if (args.size() == 2) {
        const size_t slash = dictionaries.rfind('/');
        dictionaries = slash == std::string::npos ? "." : dictionaries.substr(0, slash);
    }

    qvhost::ReferenceHost host;
    host.setDictionaryDirectory(dictionaries);
    QvHostEncoding utf8{};
    std::strcpy(utf8.base, "UTF-8");
    host.setEncoding(utf8);
    host.install();

    QvHandle doc = QV_XDOMOpen(document.c_str(), 0);
    QvHandle map = doc ? QV_XDOMOpen(mappingPath.c_str(), 0) : nullptr;
    char* root = nullptr;
    QvDataset ds = map ? QV_XMAPOpen(doc, map, &root, kField, kValue, kSubvalue, kNull,
                                     QV_XMAP_READ)
                       : nullptr;
    int status = 0;
    if (!ds) {
        std::fprintf(stderr, "%s", Q_XMLGetErrMsg());
        if (!host.dictionaryError().empty())
            std::fprintf(stderr, "%s\n", host.dictionaryError().c_str());
        status = 1;
    } else {
        const std::vector<std::string> tables = tableNames(map);
        if (cascade) {
            QV_XMAPSetOption(ds, QV_XMAP_OPT_CASCADE, 1);
            std::printf("%s (nested tables indented)\n", root ? root : "");
            char* record = nullptr;
            while (QV_XMAPReadNext(ds, tables[0].c_str(), &record) == 0) {
                std::printf("%s\n", readable(record).c_str());
                for (size_t t = 1; t < tables.size(); ++t) {
                    std::printf("  %s:\n", tables[t].c_str());
                    printTable(ds, tables[t], "    ");
                }
            }
        } else {
            for (const std::string& table : tables) {
                std::printf("%s\n", table.empty() ? (root ? root : "") : table.c_str());
                printTable(ds, table, "  ");
            }
        }
        if (Q_XMLGetErrCode() != 0) std::fprintf(stderr, "%s", Q_XMLGetErrMsg());
    }
    QV_XMAPClose(ds);
    QV_XDOMClose(map);
    QV_XDOMClose(doc);
    return status;
}
