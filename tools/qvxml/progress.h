// A progress line for a person waiting at a terminal: on stderr, redrawn in place a
// few times a second once a job has run for a second, wiped when the job ends (or
// fails). Nothing at all when stderr is not a terminal, so logs and pipes stay clean.
//
//   importing: document 2 of 5, 310000 records, 240000 records/s
#pragma once

#include <chrono>
#include <string>

namespace qvcli {

class Progress {
public:
    // `verb` starts the line ("importing", "exporting"); `wanted` false: no line at
    // all (a dry run prints its records on the terminal).
    explicit Progress(const char* verb, bool wanted = true);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // What the job is at: document `document` of `documents` (0: not counted in
    // documents) with `records` records done so far. Cheap enough to call per record.
    void update(long long records, std::size_t document = 0, std::size_t documents = 0);
    // Wipes the line before the job's own last words.
    void done();

private:
    void draw(long long records, std::size_t document, std::size_t documents);

    const char* verb_;
    bool on_;
    bool shown_ = false;
    unsigned calls_ = 0;
    std::chrono::steady_clock::time_point start_, next_;
};

}  // namespace qvcli
