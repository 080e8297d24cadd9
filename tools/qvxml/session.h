// What every subcommand that talks to the library needs: the reference host
// installed with UTF-8 text and the account's marks, owned handles, parsed files.
#pragma once

#include <memory>
#include <string>

#include "cli.h"
#include "host/account.h"
#include "host/reference_host.h"
#include "qvxml.h"

namespace qvcli {

// The record marks of an account: field, value and subvalue marks as a multivalued
// database uses them (bytes that never occur in UTF-8 text), and DEL for null.
constexpr char kFieldMark = '\xFE';
constexpr char kValueMark = '\xFD';
constexpr char kSubvalueMark = '\xFC';
constexpr char kNullMark = '\x7F';

struct HandleCloser {
    void operator()(QvHandle h) const { QV_XDOMClose(h); }
};
using Handle = std::unique_ptr<QvHandle_, HandleCloser>;

struct DatasetCloser {
    void operator()(QvDataset ds) const { QV_XMAPClose(ds); }
};
using Dataset = std::unique_ptr<QvDataset_, DatasetCloser>;

// The reference host, installed for the life of the session.
class Session {
public:
    Session();
    qvhost::ReferenceHost& host() { return host_; }

    // A parsed XML file ("-": standard input); Failure naming the file, where and
    // what is wrong, with the library's lines below.
    Handle parse(const std::string& path, const char* what);
    Handle parse(const Source& source, const char* what);

    // Gives the host the dictionary of every file of the account; with `directory`
    // not empty, "<FILE>.dict" files there stand in for files the account lacks.
    void useDictionaries(qvhost::Account* account, const std::string& directory);
    // The --dicts folder that messages about a missing dictionary name (useDictionaries
    // sets it too; an import that stored the folder's dictionaries first sets it here).
    void dictionaryFolder(const std::string& directory) { dictionaryFolder_ = directory; }

    // A dataset over a parsed mapping: mode QV_XMAP_READ over `input`, or XML_CREATE.
    // Failure with the library's lines (and the host's dictionary error) otherwise.
    Dataset open(QvHandle input, QvHandle mapping, int mode, std::string* rootTable);

private:
    qvhost::ReferenceHost host_;
    std::string accountPath_;       // the account whose dictionaries are used, if any
    std::string dictionaryFolder_;  // --dicts
    std::string mappingName_, mappingText_;  // the last mapping parsed, for messages
};

// The account named by --account, else QVXML_ACCOUNT, else ./qvxml.db.
std::string accountPath(const std::string& option);
// Fails with what to do when the account at `path` does not exist (or its folder).
void requireAccount(const std::string& path);
// Fails with "folder DIR does not exist" unless `path` names a folder.
void requireFolder(const std::string& path);

// The line of a mapping file's text that a mapping error of the library names (an
// attribute value it quotes, or the element lacking the attribute it misses); 0 when
// the message does not tell.
int mappingErrorLine(const std::string& mappingText, const std::string& message);

// The library's lines after the first line of a failed parse (see parseFailureLine).
[[noreturn]] void parseFailure(const Source& source, int code, const std::string& what);

}  // namespace qvcli
