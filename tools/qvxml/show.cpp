// The account subcommands that need no mapping: dict and show.
#include <cstdio>

#include "cli.h"
#include "commands.h"
#include "host/account.h"
#include "host/dictionary.h"
#include "records.h"
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
        if (!account.dictionary(file, text)) throw Failure("no dictionary for " + file + " in " + path);
        writeOutput("", text);
        return kSuccess;
    }
    const std::string& dictFile = args.positional()[1];
    const std::string text = readFile(dictFile);
    qvhost::Dictionary dictionary;
    std::string error;
    if (!dictionary.parse(text, &error)) throw Failure(dictFile + ": " + error);
    if (!dictionary.size()) throw Failure(dictFile + ": no columns");
    qvhost::Account account(path);
    account.putDictionary(file, text);
    std::fprintf(stderr, "dictionary of %s loaded into %s (%zu columns)\n", file.c_str(),
                 path.c_str(), dictionary.size());
    return kSuccess;
}

int runShow(const Args& args) {
    args.expect(1, std::size_t(-1));
    const std::string path = accountPath(args.value("--account"));
    requireAccount(path);
    qvhost::Account account(path, true);
    const std::string& file = args.positional()[0];
    std::string text, error;
    if (!account.dictionary(file, text)) throw Failure("no file " + file + " in " + path);
    qvhost::Dictionary dictionary;
    dictionary.parse(text, &error);
    const FieldNames names(&dictionary);
    const bool json = args.has("--json");
    auto print = [&](const std::string& record) {
        if (json)
            printJson(stdout, file, record, names);
        else
            printRecord(stdout, file, record, names);
    };
    int status = kSuccess;
    if (args.positional().size() == 1) {
        account.scan(file, [&](const std::string&, const std::string& record) {
            print(record);
            return true;
        });
    } else {
        for (std::size_t i = 1; i < args.positional().size(); ++i) {
            std::string record;
            if (account.get(file, args.positional()[i], record)) {
                print(record);
            } else {
                std::fprintf(stderr, "qvxml show: no record %s in %s\n",
                             visible(args.positional()[i]).c_str(), file.c_str());
                status = kFailure;
            }
        }
    }
    std::fflush(stdout);
    return status;
}

}  // namespace qvcli
