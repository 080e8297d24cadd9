// `qvxml export`: records of the account written back as one XML document through
// a mapping: the root table's records (all, or those named) with their related
// child records, pushed with QV_XMAPWriteNext and built with QV_XMAPToDOM.
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "cli.h"
#include "commands.h"
#include "host/account.h"
#include "mapping_info.h"
#include "progress.h"
#include "records.h"
#include "session.h"
#include "writer_options.h"

namespace qvcli {
namespace {

// A table of the mapping and how its records are found from their parent's.
struct ExportTable {
    std::string file;
    std::string key;          // name to write its records by
    int parentField = -1;     // field of the parent record holding the key
    bool intoValues = false;  // the parent key is multivalued: match any value
    std::vector<std::size_t> children;
    // Records by the text of their child key field, in record ID order.
    std::unordered_map<std::string, std::vector<std::string>> byKey;
};

class Exporter {
public:
    Exporter(qvhost::Account& account, QvDataset ds, const std::vector<MapEntry>& maps,
             const std::vector<InfoTable>& info)
        : ds_(ds) {
        for (std::size_t t = 0; t < info.size(); ++t) {
            ExportTable table;
            table.file = info[t].tableName;
            table.key = maps.size() == info.size() ? mapKey(maps[t]) : info[t].tableName;
            tables_.push_back(std::move(table));
        }
        // A child table is reached through its first child key.
        for (std::size_t t = 1; t < info.size(); ++t) {
            for (const InfoEntry& e : info[t].entries) {
                if ((e.code != 5 && e.code != 6 && e.code != 7) || e.more.size() < 2) continue;
                const int parent = std::atoi(e.more[0].c_str());
                if (parent < 1 || std::size_t(parent) > info.size() || std::size_t(parent) == t + 1)
                    break;
                ExportTable& child = tables_[t];
                child.parentField = std::atoi(e.more[1].c_str());
                child.intoValues = e.code == 7;
                tables_[std::size_t(parent - 1)].children.push_back(t);
                const std::size_t field = std::size_t(e.field);
                account.scan(child.file, [&](const std::string&, const std::string& record) {
                    const std::vector<std::string> fields = splitMarks(record, kFieldMark);
                    child.byKey[field < fields.size() ? fields[field] : ""].push_back(record);
                    return true;
                });
                break;
            }
            if (tables_[t].parentField < 0 && info[t].level > 1)
                std::fprintf(stderr, "qvxml export: %s has no key to its parent table; its records are left out\n",
                             info[t].tableName.c_str());
        }
    }

    // Writes a record of table `t` and, after it, the records of its child tables
    // that belong to it (so both Cascade and key matching place them under it).
    void push(std::size_t t, const std::string& record) {
        if (QV_XMAPWriteNext(ds_, tables_[t].key.c_str(), record.data(), int(record.size())) != 0)
            libraryFailure("cannot write a record of " + tables_[t].file + ":");
        ++written_;
        if (tables_[t].children.empty()) return;
        const std::vector<std::string> fields = splitMarks(record, kFieldMark);
        for (std::size_t c : tables_[t].children) {
            ExportTable& child = tables_[c];
            const std::size_t f = std::size_t(child.parentField);
            const std::string key = f < fields.size() ? fields[f] : "";
            std::vector<std::string> keys{key};
            if (child.intoValues) {
                keys.clear();
                for (const std::string& value : splitMarks(key, kValueMark))
                    for (const std::string& sub : splitMarks(value, kSubvalueMark)) keys.push_back(sub);
            }
            for (const std::string& k : keys) {
                if (k.empty()) continue;
                auto it = child.byKey.find(k);
                if (it == child.byKey.end()) continue;
                for (const std::string& childRecord : it->second) push(c, childRecord);
            }
        }
    }

    long long written() const { return written_; }
    const std::string& rootFile() const { return tables_.at(0).file; }

private:
    QvDataset ds_;
    std::vector<ExportTable> tables_;
    long long written_ = 0;
};

}  // namespace

int runExport(const Args& args) {
    args.expect(1, std::size_t(-1));
    const QvDocSettings settings = writerSettings(args);
    if (!args.value("-o").empty()) requireWritable(args.value("-o"));
    Session session;
    Handle mapping = session.parse(args.positional()[0], "mapping");
    const std::string path = accountPath(args.value("--account"));
    requireAccount(path);
    qvhost::Account account(path, true);
    session.useDictionaries(&account, "");
    Dataset ds = session.open(nullptr, mapping.get(), XML_CREATE, nullptr);
    const std::vector<InfoTable> info = describeDataset(ds.get());
    if (info.empty()) throw Failure("the mapping describes no table");
    Exporter exporter(account, ds.get(), mapEntries(mapping.get()), info);

    if (args.positional().size() == 1) {
        std::vector<std::string> roots;
        account.scan(exporter.rootFile(), [&](const std::string&, const std::string& record) {
            roots.push_back(record);
            return true;
        });
        Progress progress("exporting");
        for (const std::string& record : roots) {
            exporter.push(0, record);
            progress.update(exporter.written());
        }
    } else {
        for (std::size_t i = 1; i < args.positional().size(); ++i) {
            std::string record;
            if (!account.get(exporter.rootFile(), args.positional()[i], record))
                throw Failure("no record " + visible(args.positional()[i]) + " in " + exporter.rootFile());
            exporter.push(0, record);
        }
    }

    // A document needs an element: with no record there is nothing to build.
    if (exporter.written() == 0) throw Failure("no records in " + exporter.rootFile() + " to export");
    Handle doc(QV_XMAPToDOM(ds.get(), &settings));
    if (!doc) libraryFailure("cannot build the document:");
    const std::string out = args.value("-o");
    const char* text = QV_XDOMWrite(doc.get(), &settings, out.empty() ? nullptr : out.c_str());
    if (!text) libraryFailure("cannot write the document:");
    if (out.empty())
        writeOutput("", tidyDocument(text, lineEndText(settings)));
    else
        tidyFile(out, settings);
    std::fprintf(stderr, "exported %lld records\n", exporter.written());
    return kSuccess;
}

}  // namespace qvcli
