// The library session of the command-line tool.
#include "session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include "cli.h"
#include "host/dictionary.h"

namespace qvcli {

Session::Session() {
    QvHostEncoding utf8{};
    std::strcpy(utf8.base, "UTF-8");
    host_.setEncoding(utf8);
    host_.setMarks(kFieldMark, kValueMark, kSubvalueMark);
    host_.install();
}

Handle Session::parse(const std::string& path, const char* what) {
    return parse(loadSource(path), what);
}

Handle Session::parse(const Source& source, const char* what) {
    Handle h(QV_XDOMOpen(source.source(), source.inMemory() ? 1 : 0));
    if (!h) parseFailure(source, Q_XMLGetErrCode(), what);
    if (std::string(what) == "mapping") {
        mappingName_ = source.shown();
        mappingText_ = source.inMemory() ? source.text : readFile(source.path);
    }
    return h;
}

void parseFailure(const Source& source, int code, const std::string& what) {
    const std::string lines = Q_XMLGetErrMsg();
    libraryFailure((what == "document" ? "" : what + " ") + parseFailureLine(source, code, lines));
}

void requireFolder(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) throw Failure("folder " + path + " does not exist");
    if (!S_ISDIR(st.st_mode)) throw Failure(path + " is not a folder");
}

void requireAccount(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return;
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) requireFolder(path.substr(0, slash));
    throw Failure("no account " + path + " here: create one with `qvxml dict FILE DICT_FILE` or "
                  "`import --dicts DIR`");
}

void Session::useDictionaries(qvhost::Account* account, const std::string& directory) {
    if (!directory.empty()) dictionaryFolder_ = directory;
    if (account) {
        accountPath_ = account->path();
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
        const std::string lines = Q_XMLGetErrMsg();
        const char* const missing = "Unable to open the dictionary for file ";
        const std::size_t at = lines.find(missing);
        if (at != std::string::npos) {
            // Which file lacks a dictionary, and everywhere it was looked for.
            std::string file = lines.substr(at + std::strlen(missing));
            file = file.substr(0, file.find_first_of(".\n"));
            what = "no dictionary for file " + file + ": ";
            what += accountPath_.empty() ? "no account" : "not in account " + accountPath_;
            if (!dictionaryFolder_.empty())
                what += ", no " + file + ".dict in folder " + dictionaryFolder_;
            what += "; load it with `qvxml dict " + file + " " + file + ".dict`" +
                    (dictionaryFolder_.empty() ? " or give `--dicts DIR`" : "");
            if (!host_.dictionaryError().empty() &&
                host_.dictionaryError().rfind("no dictionary file", 0) != 0)
                what = "the dictionary of " + file + " is broken: " + host_.dictionaryError();
        } else if (!host_.dictionaryError().empty()) {
            what = "cannot use the mapping (" + host_.dictionaryError() + "):";
        } else if (!mappingName_.empty()) {
            const int line = mappingErrorLine(mappingText_, lines);
            what = "cannot use the mapping " + mappingName_ +
                   (line ? " (line " + std::to_string(line) + "):" : ":");
        }
        libraryFailure(what);
    }
    if (rootTable) *rootTable = root ? root : "";
    return ds;
}

int mappingErrorLine(const std::string& text, const std::string& message) {
    auto lineAt = [&](std::size_t at) {
        return at == std::string::npos ? 0
                                       : int(std::count(text.begin(), text.begin() + long(at), '\n')) + 1;
    };
    // The first report's words, after the library's "QVXMAP/...: " prefix.
    std::string first = message.substr(0, message.find('\n'));
    const std::size_t colon = first.find(": ");
    if (colon != std::string::npos) first = first.substr(colon + 2);
    std::string attribute, element;
    {
        char a[128] = "", e[128] = "";
        if (std::sscanf(first.c_str(), "Missing attribute %127s in <%127[^>]>", a, e) == 2) {
            attribute = a;
            element = e;
        }
    }
    if (!element.empty()) {
        // The first such element whose start tag lacks the attribute.
        for (std::size_t at = text.find("<" + element); at != std::string::npos;
             at = text.find("<" + element, at + 1)) {
            const std::size_t end = text.find('>', at);
            const std::string tag = text.substr(at, end == std::string::npos ? end : end - at);
            if (tag.find(" " + attribute + "=") == std::string::npos &&
                tag.find("\n" + attribute + "=") == std::string::npos &&
                tag.find("\t" + attribute + "=") == std::string::npos)
                return lineAt(at);
        }
        return 0;
    }
    // Else the first name the message gives (a word after "column", "table", "map",
    // "name", "xpath" or an element) that the mapping has as an attribute value.
    std::size_t at = 0;
    std::string previous;
    while (at < first.size()) {
        const std::size_t end = std::min(first.find(' ', at), first.size());
        std::string word = first.substr(at, end - at);
        at = end + 1;
        while (!word.empty() && std::strchr(".,'()", word.back())) word.pop_back();
        while (!word.empty() && std::strchr("'(", word.front())) word.erase(0, 1);
        const std::string before = qvhost::upperAscii(previous);
        previous = word;
        if (word.empty() || word.front() == '<') continue;
        if (before != "COLUMN" && before != "TABLE" && before != "MAP" && before != "NAME" &&
            before != "XPATH" && (before.empty() || before.front() != '<'))
            continue;
        for (const char quote : {'"', '\''}) {
            const std::size_t found = text.find(std::string("=") + quote + word + quote);
            if (found != std::string::npos) return lineAt(found);
        }
    }
    return 0;
}

std::string accountPath(const std::string& option) {
    if (!option.empty()) return option;
    const char* env = std::getenv("QVXML_ACCOUNT");
    return env && *env ? env : "qvxml.db";
}

}  // namespace qvcli
