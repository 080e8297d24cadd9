// The library session of the command-line tool.
#include "session.h"

#include <cstdlib>
#include <cstring>

#include "cli.h"

namespace qvcli {

Session::Session() {
    QvHostEncoding utf8{};
    std::strcpy(utf8.base, "UTF-8");
    host_.setEncoding(utf8);
    host_.setMarks(kFieldMark, kValueMark, kSubvalueMark);
    host_.install();
}

Handle Session::parse(const std::string& path, const char* what) {
    requireReadable(path);
    Handle h(QV_XDOMOpen(path.c_str(), 0));
    if (!h) libraryFailure(std::string("cannot read ") + what + " " + path + ":");
    return h;
}

void Session::useDictionaries(qvhost::Account* account, const std::string& directory) {
    if (account) {
        for (const std::string& file : account->files()) {
            std::string text, error;
            account->dictionary(file, text);
            qvhost::Dictionary& dictionary = host_.dictionary(file);
            if (!dictionary.parse(text, &error))
                throw Failure("the dictionary of " + file + " in the account is broken: " + error);
        }
    }
    host_.setDictionaryDirectory(directory);
}

Dataset Session::open(QvHandle input, QvHandle mapping, int mode, std::string* rootTable) {
    char* root = nullptr;
    Dataset ds(QV_XMAPOpen(input, mapping, &root, kFieldMark, kValueMark, kSubvalueMark,
                           kNullMark, mode));
    if (!ds) {
        std::string what = "cannot use the mapping:";
        if (Q_XMLGetErrCode() == 3043)
            what = "cannot use the mapping (load the dictionary of each file it names with "
                   "'qvxml dict FILE DICT_FILE'):";
        if (!host_.dictionaryError().empty())
            what = "cannot use the mapping (" + host_.dictionaryError() + "):";
        libraryFailure(what);
    }
    if (rootTable) *rootTable = root ? root : "";
    return ds;
}

std::string accountPath(const std::string& option) {
    if (!option.empty()) return option;
    const char* env = std::getenv("QVXML_ACCOUNT");
    return env && *env ? env : "qvxml.db";
}

}  // namespace qvcli
