// `qvxml describe`: the mapping description of QV_XMAPGetInfo, shown readably.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <map>

#include "cli.h"
#include "commands.h"
#include "host/account.h"
#include "mapping_check.h"
#include "mapping_info.h"
#include "records.h"
#include "session.h"

namespace qvcli {
namespace {

std::string role(const InfoEntry& e, const std::vector<InfoTable>& tables,
                 const std::function<std::string(const std::string&, int)>& columnName) {
    auto parent = [&]() {
        if (e.more.size() < 2) return std::string("?");
        const int seq = std::atoi(e.more[0].c_str());
        const int field = std::atoi(e.more[1].c_str());
        if (seq < 1 || std::size_t(seq) > tables.size()) return "map " + e.more[0] + " field " + e.more[1];
        const std::string& table = tables[std::size_t(seq - 1)].tableName;
        const std::string name = columnName(table, field);
        return table + " field " + e.more[1] + (name.empty() ? "" : " (" + name + ")");
    };
    switch (e.code) {
        case 1000: return "Replace";
        case 1001: return "Append";
        case 1:
            if (e.more.size() >= 2 && e.more[0] == "1") return "record ID, XFIELD " + e.more[1];
            if (e.more.size() >= 2 && e.more[0] == "2") return "record ID, SUBR " + e.more[1];
            return "record ID";
        case 2: return "order column";
        case 3: return "generated parent key";
        case 4: return "parent key";
        case 5:
        case 6: return "child key of " + parent();
        case 7: return "child key into the values of " + parent();
        default: return "code " + std::to_string(e.code);
    }
}

std::string visibleMarks(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == kFieldMark) out += '^';
        else if (c == kValueMark) out += ']';
        else if (c == kSubvalueMark) out += '\\';
        else out += c;
    }
    return out;
}

}  // namespace

int runDescribe(const Args& args) {
    args.expect(1, 1);
    const std::string path = accountPath(args.value("--account"));
    if (args.value("--dicts").empty()) requireAccount(path);  // nowhere else to find dictionaries
    else requireFolder(args.value("--dicts"));
    Session session;
    Handle mapping = session.parse(args.positional()[0], "mapping");
    std::unique_ptr<qvhost::Account> account;
    if (std::ifstream(path)) account = std::make_unique<qvhost::Account>(path, true);
    session.useDictionaries(account.get(), args.value("--dicts"));
    // Mistakes the library would pass over are shown first; the exit code says so.
    const std::string mistakes =
        checkMapping(args.positional()[0], multivaluedIn(session)).lines(args.positional()[0]);
    std::fputs(mistakes.c_str(), stderr);
    const int status = mistakes.empty() ? kSuccess : kFailure;
    Dataset ds = session.open(nullptr, mapping.get(), XML_CREATE, nullptr);
    const std::string text = descriptionText(ds.get());
    if (args.has("--raw")) {
        writeOutput("", visibleMarks(text) + "\n");
        return status;
    }
    const std::vector<InfoTable> tables = parseDescription(text);
    const std::vector<MapEntry> maps = mapEntries(mapping.get());
    std::map<std::string, FieldNames> names;
    auto columnName = [&](const std::string& table, int field) -> std::string {
        auto it = names.find(qvhost::upperAscii(table));
        if (it == names.end())
            it = names.emplace(qvhost::upperAscii(table),
                               FieldNames(session.host().findDictionary(table)))
                     .first;
        return field >= 0 ? it->second.name(std::size_t(field)) : "";
    };
    std::vector<std::string> parents;  // table name by level
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const InfoTable& table = tables[t];
        const int level = table.level > 0 ? table.level : 1;
        const std::string indent(std::size_t(level - 1) * 4, ' ');
        std::string heading = indent + "table " + std::to_string(t + 1) + ": " + table.tableName;
        if (maps.size() == tables.size() && !maps[t].mapName.empty())
            heading += " (map " + maps[t].mapName + ")";
        heading += ", level " + std::to_string(level);
        parents.resize(std::size_t(level));
        parents[std::size_t(level - 1)] = table.tableName;
        if (level > 1) heading += ", nested in " + parents[std::size_t(level - 2)];
        std::printf("%s\n", heading.c_str());
        // One line per field, its roles in description order.
        std::vector<std::pair<int, std::string>> lines;
        bool idKind = false;
        for (const InfoEntry& e : table.entries) idKind = idKind || (e.field == 0 && e.code == 1);
        if (!idKind) lines.emplace_back(0, "record ID");
        for (const InfoEntry& e : table.entries) {
            const std::string r = role(e, tables, columnName);
            auto it = lines.begin();
            while (it != lines.end() && it->first != e.field) ++it;
            if (it == lines.end())
                lines.emplace_back(e.field, r);
            else
                it->second += ", " + r;
        }
        for (const auto& line : lines)
            std::printf("%s  field %-3d %-16s %s\n", indent.c_str(), line.first,
                        columnName(table.tableName, line.first).c_str(), line.second.c_str());
    }
    return status;
}

}  // namespace qvcli
