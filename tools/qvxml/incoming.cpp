// Generated numbers and refused values of incoming records.
#include "incoming.h"

#include <cstdlib>

#include "session.h"

namespace qvcli {
namespace {

bool asNumber(const std::string& text, long long& n) {
    if (text.empty() || text.size() > 18) return false;
    n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    return true;
}

// Field `field` of a record, or "".
std::string fieldOf(const std::string& record, int field) {
    std::size_t begin = 0;
    for (int f = 0; f < field; ++f) {
        begin = record.find(kFieldMark, begin);
        if (begin == std::string::npos) return "";
        ++begin;
    }
    const std::size_t end = record.find(kFieldMark, begin);
    return record.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// Replaces field `field` of `record` (made when missing).
void setField(std::string& record, int field, const std::string& value) {
    std::vector<std::string> fields = splitMarks(record, kFieldMark);
    if (fields.size() <= std::size_t(field)) fields.resize(std::size_t(field) + 1);
    fields[std::size_t(field)] = value;
    record = joinMarks(fields, kFieldMark);
}

}  // namespace

Numbering::Numbering(const std::vector<MapEntry>& maps, const std::vector<InfoTable>& info)
    : maps_(maps) {
    for (std::size_t m = 0; m < info.size() && m < maps.size(); ++m)
        for (const InfoEntry& e : info[m].entries)
            if ((e.code == 1 && e.field == 0) || e.code == 3) generated_.push_back(Field{m, e.field});
    for (std::size_t m = 0; m < info.size() && m < maps.size(); ++m) {
        for (const InfoEntry& e : info[m].entries) {
            if (e.code != 6 || e.more.size() < 2) continue;
            const std::size_t parent = std::size_t(std::atoi(e.more[0].c_str()));
            const int parentField = std::atoi(e.more[1].c_str());
            for (std::size_t g = 0; g < generated_.size(); ++g)
                if (generated_[g].map + 1 == parent && generated_[g].field == parentField)
                    followers_.push_back(Follower{m, e.field, g});
        }
    }
}

void Numbering::start(qvhost::Account* account) {
    if (!account) return;
    for (Field& g : generated_) {
        long long highest = 0;
        std::string text;
        if (!account->dictionary(maps_[g.map].tableName, text)) continue;
        account->scan(maps_[g.map].tableName, [&](const std::string& id, const std::string& record) {
            long long n = 0;
            for (const std::string& value : splitMarks(g.field == 0 ? id : fieldOf(record, g.field),
                                                       kValueMark))
                if (asNumber(value, n) && n > highest) highest = n;
            return true;
        });
        if (account->count(maps_[g.map].tableName) == 0) continue;
        g.next = highest + 1;
        g.highest = highest;
    }
}

void Numbering::shift(std::size_t m, std::string& record) {
    for (Field& g : generated_) {
        if (g.map != m) continue;
        long long n = 0;
        if (!asNumber(fieldOf(record, g.field), n)) continue;
        if (!g.started) {
            g.started = true;
            g.offset = g.next < 0 ? 0 : g.next - n;
        }
        n += g.offset;
        if (n > g.highest) g.highest = n;
        setField(record, g.field, std::to_string(n));
    }
    for (const Follower& f : followers_) {
        if (f.map != m) continue;
        long long n = 0;
        if (!asNumber(fieldOf(record, f.field), n)) continue;
        setField(record, f.field, std::to_string(n + generated_[f.source].offset));
    }
}

bool Numbering::generated(std::size_t m, int field) const {
    for (const Field& g : generated_)
        if (g.map == m && g.field == field) return true;
    return false;
}

void Numbering::endDocument() {
    for (Field& g : generated_) {
        if (g.started && g.highest >= g.next) g.next = g.highest + 1;
        g.started = false;
    }
}

std::vector<Refused> takeRefusals(std::string& record, const qvhost::ReferenceHost& host) {
    std::vector<Refused> found;
    const char mark = qvhost::ReferenceHost::kRefusalMark;
    if (record.find(mark) == std::string::npos) return found;
    std::string out;
    std::size_t field = 0;
    for (std::size_t i = 0; i < record.size(); ++i) {
        const char c = record[i];
        if (c == kFieldMark) ++field;
        if (c != mark) {
            out += c;
            continue;
        }
        const std::size_t end = record.find(mark, i + 1);
        if (end == std::string::npos) break;
        const std::size_t index = std::size_t(std::strtoull(record.c_str() + i + 1, nullptr, 10));
        Refused r;
        r.field = field;
        if (index < host.refusals().size()) {
            r.value = host.refusals()[index].value;
            r.code = host.refusals()[index].code;
        }
        found.push_back(std::move(r));
        i = end;
    }
    record = std::move(out);
    return found;
}

}  // namespace qvcli
