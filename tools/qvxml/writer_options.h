// The writer options of the document settings record as command-line options,
// shared by `format` and `export`.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "cli.h"
#include "qvxml.h"

namespace qvcli {

// Options taking a value: --encoding, --line-end.
const std::set<std::string>& writerValueOptions();
// Flags: --no-declaration, --no-pretty, --normalize, --no-split-cdata, --validate,
// --no-entities, --no-whitespace, --no-discard-default, --canonical, --bom, --standalone.
const std::set<std::string>& writerFlags();
// The settings record the options ask for. Defaults: UTF-8, declaration, pretty
// printed, CDATA split, entities kept, whitespace in content, defaults discarded.
QvDocSettings writerSettings(const Args& args);
// The line end the settings ask for, as bytes.
std::string lineEndText(const QvDocSettings& settings);
// Tidies a file the library wrote with `settings` as tidyDocument does, when its
// encoding keeps line ends as single bytes (not UTF-16 or UTF-32, no byte order mark).
void tidyFile(const std::string& path, const QvDocSettings& settings);
// Writes a whole document the library wrote with `settings` to standard output,
// tidied in the same way, without copying it (hundreds of megabytes pass here).
void writeDocumentOutput(std::string_view bytes, const QvDocSettings& settings);
// The lines of --help that describe them.
extern const char kWriterHelp[];

// `a` with `b` added.
std::set<std::string> merged(std::set<std::string> a, const std::set<std::string>& b);

}  // namespace qvcli
