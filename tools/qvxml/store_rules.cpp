// Joining an incoming record with the stored one.
#include "store_rules.h"

#include <vector>

#include "records.h"
#include "session.h"

namespace qvcli {

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
                if (!add[f].empty()) old[f] = old[f].empty() ? add[f] : old[f] + kValueMark + add[f];
                break;
            default:
                if (old[f].empty()) old[f] = add[f];
        }
    }
    while (old.size() > 1 && old.back().empty()) old.pop_back();
    return joinMarks(old, kFieldMark);
}

}  // namespace qvcli
