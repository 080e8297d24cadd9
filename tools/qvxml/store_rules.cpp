// Joining an incoming record with the stored one.
#include "store_rules.h"

#include <unordered_set>
#include <vector>

#include "records.h"
#include "session.h"

namespace qvcli {
namespace {

// The values of `add` that `stored` lacks, after the stored ones: a parent key is a
// set of keys, and the same child twice would be written twice.
std::string appendNewValues(const std::string& stored, const std::string& add) {
    std::vector<std::string> values =
        stored.empty() ? std::vector<std::string>{} : splitMarks(stored, kValueMark);
    std::unordered_set<std::string> there(values.begin(), values.end());
    for (const std::string& value : splitMarks(add, kValueMark))
        if (there.insert(value).second) values.push_back(value);
    return joinMarks(values, kValueMark);
}

}  // namespace

std::string joinRecord(const std::string& stored, const std::string& incoming,
                       const InfoTable* info) {
    if (!info || !info->hasActions()) return incoming;
    std::vector<std::string> old = splitMarks(stored, kFieldMark);
    const std::vector<std::string> add = splitMarks(incoming, kFieldMark);
    if (old.size() < add.size()) old.resize(add.size());
    for (std::size_t f = 1; f < add.size(); ++f) {
        switch (info->action(int(f))) {
            case 1000:
                old[f] = add[f];
                break;
            case 1001:
                if (add[f].empty()) break;
                if (info->parentKey(int(f))) {
                    old[f] = appendNewValues(old[f], add[f]);
                    break;
                }
                old[f] = old[f].empty() ? add[f] : old[f] + kValueMark + add[f];
                break;
            default:
                if (old[f].empty()) old[f] = add[f];
        }
    }
    while (old.size() > 1 && old.back().empty()) old.pop_back();
    return joinMarks(old, kFieldMark);
}

}  // namespace qvcli
