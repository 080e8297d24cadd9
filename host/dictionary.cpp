// Dictionaries of the reference host.
#include "host/dictionary.h"

#include "host/conversion.h"

#include <fstream>
#include <sstream>
#include <unordered_map>

namespace qvhost {

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

Dictionary& Dictionary::addRaw(Column column) {
    const std::string key = upperAscii(column.name);
    auto it = index_.find(key);
    if (it != index_.end()) {
        columns_[it->second] = std::move(column);
    } else {
        index_.emplace(key, columns_.size());
        columns_.push_back(std::move(column));
    }
    return *this;
}

Dictionary& Dictionary::add(const std::string& name, int field, bool multivalued,
                            const std::string& code) {
    return addRaw(Column{name, field, multivalued, code, -1});
}

Dictionary& Dictionary::addVirtual(const std::string& name) {
    return addRaw(Column{name, -1, false, "", -1});
}

const Column* Dictionary::find(const char* name) const {
    if (!name) return nullptr;
    auto it = index_.find(upperAscii(name));
    return it == index_.end() ? nullptr : &columns_[it->second];
}

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool parseField(const std::string& text, int& field) {
    if (text.empty() || text.size() > 9) return false;
    field = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        field = field * 10 + (c - '0');
    }
    return true;
}

}  // namespace

bool Dictionary::parse(const std::string& text, std::string* error, bool newText) {
    std::istringstream lines(text);
    std::string line;
    // A name given twice would silently take the later line's field: a mistake in a
    // file a person writes, so it is refused with both lines when one is loaded.
    std::unordered_map<std::string, int> named;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string name, where, kind;
        words >> name >> where;
        auto fail = [&](const char* what) {
            if (error) *error = "line " + std::to_string(number) + ": " + what;
            return false;
        };
        if (where.empty()) return fail("expected NAME FIELD S|M [CONVERSION] or NAME V");
        if (where == "V" || where == "v") {
            if (words >> kind) return fail("nothing may follow V");
            if (!named.emplace(upperAscii(name), number).second && newText)
                return fail(("column " + name + " is already named on line " +
                             std::to_string(named[upperAscii(name)]) +
                             " (names are compared without case)").c_str());
            addVirtual(name);
            continue;
        }
        int field = 0;
        if (!parseField(where, field)) return fail("field number expected");
        words >> kind;
        const std::string k = upperAscii(kind);
        if (k != "S" && k != "M") return fail("S or M expected after the field number");
        std::string rest;
        std::getline(words, rest);
        rest = trim(rest);
        // A code the conversion callback does not know would lose every value of the
        // column on every import: refuse it here, where the line is known.
        if (!knownConversion(rest))
            return fail(("unknown conversion code \"" + rest + "\" for " + name).c_str());
        if (!named.emplace(upperAscii(name), number).second && newText)
            return fail(("column " + name + " is already named on line " +
                         std::to_string(named[upperAscii(name)]) +
                         " (names are compared without case)").c_str());
        add(name, field, k == "M", rest);
    }
    return true;
}

bool Dictionary::load(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!parse(text.str(), error)) {
        if (error) *error = path + ": " + *error;
        return false;
    }
    return true;
}

}  // namespace qvhost
