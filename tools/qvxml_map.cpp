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
#include <fstream>
#include <regex>
#include <sstream>
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

// The map names of a mapping file, in file order (an extraction file has one
// table, read by the empty name).
std::vector<std::string> tableNames(const std::string& mappingPath) {
    std::ifstream in(mappingPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    std::vector<std::string> names;
    static const std::regex element("<TABLECLASSMAP\\b[^>]*>");
    static const std::regex mapName("\\bMapName\\s*=\\s*[\"']([^\"']*)[\"']");
    static const std::regex tableName("\\bTableName\\s*=\\s*[\"']([^\"']*)[\"']");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), element); it != std::sregex_iterator();
         ++it) {
        const std::string tag = it->str();
        std::smatch m;
        if (std::regex_search(tag, m, mapName) || std::regex_search(tag, m, tableName))
            names.push_back(m[1]);
    }
    if (names.empty()) names.push_back("");
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
        const std::vector<std::string> tables = tableNames(mappingPath);
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
