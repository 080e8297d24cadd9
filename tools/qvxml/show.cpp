// The account subcommands that need no mapping: dict and show.
#include <cstdio>

#include "cli.h"
#include "commands.h"
#include "host/account.h"
#include "host/conversion.h"
#include "host/dictionary.h"
#include "records.h"
#include "safe_output.h"
#include "session.h"

namespace qvcli {

int runDict(const Args& args) {
    args.expect(0, 2);
    const std::string path = accountPath(args.value("--account"));
    if (args.positional().empty()) {
        // The files of the account with their record counts.
        requireAccount(path);
        qvhost::Account account(path, true);
        for (const std::string& file : account.files())
            std::printf("%-20s %lld records\n", file.c_str(), account.count(file));
        return kSuccess;
    }
    const std::string& file = args.positional()[0];
    std::string why;
    if (!qvhost::Account::validFileName(file, &why)) throw Failure("bad file name \"" + file + "\": " + why);
    if (args.positional().size() == 1) {
        requireAccount(path);
        qvhost::Account account(path, true);
        std::string text;
        if (!account.dictionary(file, text))
            throw Failure("no dictionary for " + file + " in " + path + ": load one with `qvxml dict " +
                          file + " DICT_FILE`");
        writeOutput("", text);
        return kSuccess;
    }
    const std::string& dictFile = args.positional()[1];
    const std::string text = readFile(dictFile);
    qvhost::Dictionary dictionary;
    std::string error;
    if (!dictionary.parse(text, &error, true)) throw Failure(dictFile + ": " + error);
    if (!dictionary.size()) throw Failure(dictFile + ": no columns");
    qvhost::Account account(path);
    std::string before;
    const bool replacing = account.dictionary(file, before);
    const long long held = replacing ? account.count(file) : 0;
    // The dictionary and its record table are stored together or not at all.
    account.begin();
    account.putDictionary(file, text);
    InterruptGuard("the account is left as it was").check();
    account.commit();
    std::fprintf(stderr, "dictionary of %s loaded into %s (%zu columns)\n", file.c_str(),
                 path.c_str(), dictionary.size());
    if (held > 0 && before != text)
        std::fprintf(stderr,
                     "note: %s already holds %lld record%s, stored under the dictionary it "
                     "replaces: its fields are now read with the new one\n",
                     file.c_str(), held, held == 1 ? "" : "s");
    return kSuccess;
}

namespace {

// The conversion code of each field: that of the first column naming it.
std::vector<std::string> fieldCodes(const qvhost::Dictionary& dictionary) {
    std::vector<std::string> codes;
    std::vector<bool> seen;
    for (const qvhost::Column& c : dictionary.columns()) {
        if (c.result < 0 || c.result > 100000) continue;
        const std::size_t field = std::size_t(c.result);
        if (field >= codes.size()) {
            codes.resize(field + 1);
            seen.resize(field + 1);
        }
        if (seen[field]) continue;
        seen[field] = true;
        codes[field] = c.code;
    }
    return codes;
}

// A --where condition: a field (by any of its names) and the value one of its
// values or subvalues must equal.
struct Condition {
    std::size_t field;
    std::string value;
};

Condition condition(const std::string& text, const qvhost::Dictionary& dictionary,
                    const std::string& file) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) throw UsageError("--where takes FIELD=VALUE, not '" + text + "'");
    const std::string name = text.substr(0, eq);
    const qvhost::Column* column = dictionary.find(name.c_str());
    if (!column || column->result < 0)
        throw Failure("no field " + name + " in the dictionary of " + file +
                      " (qvxml dict " + file + " lists them)");
    return {std::size_t(column->result), text.substr(eq + 1)};
}

bool matches(const std::vector<std::string>& fields, const Condition& c) {
    if (c.field >= fields.size()) return c.value.empty();
    const std::string& field = fields[c.field];
    if (field == c.value) return true;
    for (const std::string& value : splitMarks(field, kValueMark)) {
        if (value == c.value) return true;
        for (const std::string& sub : splitMarks(value, kSubvalueMark))
            if (sub == c.value) return true;
    }
    return false;
}

}  // namespace

int runShow(const Args& args) {
    args.expect(1, std::size_t(-1));
    const std::string path = accountPath(args.value("--account"));
    requireAccount(path);
    qvhost::Account account(path, true);
    const std::string& file = args.positional()[0];
    std::string text, error;
    if (!account.dictionary(file, text))
        throw Failure("no file " + file + " in " + path + " (`qvxml dict` lists the files)");
    qvhost::Dictionary dictionary;
    dictionary.parse(text, &error);
    const FieldNames names(&dictionary);
    const bool json = args.has("--json");
    const bool convert = args.has("--conv");
    const std::vector<std::string> codes = fieldCodes(dictionary);
    std::vector<Condition> conditions;
    for (const std::string& where : args.values("--where"))
        conditions.push_back(condition(where, dictionary, file));
    int status = kSuccess;

    // The record with each value and subvalue of a field that has a conversion code
    // converted for reading; a value the code refuses stays as stored, with a word.
    auto converted = [&](const std::string& record) {
        std::vector<std::string> fields = splitMarks(record, kFieldMark);
        for (std::size_t f = 1; f < fields.size() && f < codes.size(); ++f) {
            if (codes[f].empty() || fields[f].empty()) continue;
            std::vector<std::string> values = splitMarks(fields[f], kValueMark);
            for (std::string& value : values) {
                std::vector<std::string> subs = splitMarks(value, kSubvalueMark);
                for (std::string& sub : subs) {
                    std::string out;
                    if (sub.empty() || sub == std::string(1, kNullMark)) continue;
                    if (qvhost::convertValue(sub, codes[f], QV_CONV_TO_XML, out)) {
                        sub = out;
                    } else {
                        std::fprintf(stderr, "qvxml show: %s %s field %zu: \"%s\" does not convert with %s; shown as stored\n",
                                     file.c_str(), visible(fields[0]).c_str(), f,
                                     visible(sub).c_str(), codes[f].c_str());
                        status = kFailure;
                    }
                }
                value = joinMarks(subs, kSubvalueMark);
            }
            fields[f] = joinMarks(values, kValueMark);
        }
        return joinMarks(fields, kFieldMark);
    };
    auto print = [&](const std::string& stored) {
        const std::string record = convert ? converted(stored) : stored;
        if (!conditions.empty()) {
            const std::vector<std::string> fields = splitMarks(record, kFieldMark);
            for (const Condition& c : conditions)
                if (!matches(fields, c)) return false;
        }
        if (json)
            printJson(stdout, file, record, names);
        else
            printRecord(stdout, file, record, names);
        return true;
    };
    long long shown = 0;
    if (args.positional().size() == 1) {
        account.scan(file, [&](const std::string&, const std::string& record) {
            shown += print(record);
            return true;
        });
    } else {
        for (std::size_t i = 1; i < args.positional().size(); ++i) {
            std::string record;
            if (account.get(file, args.positional()[i], record)) {
                shown += print(record);
            } else {
                std::fprintf(stderr, "qvxml show: no record %s in %s\n",
                             visible(args.positional()[i]).c_str(), file.c_str());
                status = kFailure;
            }
        }
    }
    std::fflush(stdout);
    // No record matched: nothing printed, exit 1, as grep does.
    if (!conditions.empty() && shown == 0) status = kFailure;
    return status;
}

}  // namespace qvcli
