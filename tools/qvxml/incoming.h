// What the import does to a record read from a document before it is stored: the
// numbers the mapping generates continue after the largest stored, and the values
// the host's conversion refused are found, named and taken out.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/account.h"
#include "host/reference_host.h"
#include "mapping_info.h"
#include "records.h"

namespace qvcli {

// The generated numbers of one import. The library numbers each document's records
// from 1 again; the account must not see the same number twice, so each generated
// field (a GenerateID record ID, a KeyGenerate parent key) is shifted past the
// largest number stored in that field of its file, and past the numbers of the
// documents before it; a child key that holds a generated parent key is shifted with it.
class Numbering {
public:
    Numbering(const std::vector<MapEntry>& maps, const std::vector<InfoTable>& info);
    bool any() const { return !generated_.empty(); }
    // Reads the largest numbers stored (none in a dry run without an account).
    void start(qvhost::Account* account);
    // The fields of `record` (of map `m`) shifted; false when a generated value is
    // not a number (left as it is).
    void shift(std::size_t m, std::string& record);
    // Whether field `field` of map `m` is a generated number.
    bool generated(std::size_t m, int field) const;
    // Ends a document: the next one's numbers follow this one's.
    void endDocument();

private:
    // The library counts from 0 or 1 depending on the column; a document's first
    // number of a field (the lowest: they ascend in the order read) becomes `next`.
    struct Field {
        std::size_t map;
        int field;
        long long next = -1;      // the first number free (-1: none stored, none given)
        bool started = false;     // this document's first number was seen
        long long offset = 0;     // added to this document's numbers
        long long highest = 0;    // the highest number given out
    };
    struct Follower {
        std::size_t map;
        int field;
        std::size_t source;  // index in generated_
    };
    const std::vector<MapEntry>& maps_;
    std::vector<Field> generated_;
    std::vector<Follower> followers_;
};

// One value the host's conversion refused, where it was.
struct Refused {
    std::string value;
    std::string code;
    std::size_t field = 0;
};

// Takes the refusal marks of the host out of `record` (each refused value becomes an
// empty value, the marks around it kept) and returns what they stood for.
std::vector<Refused> takeRefusals(std::string& record, const qvhost::ReferenceHost& host);

}  // namespace qvcli
