// The progress line of long jobs.
#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace qvcli {

namespace {

constexpr auto kQuiet = std::chrono::seconds(1);             // short jobs show nothing
constexpr auto kRedraw = std::chrono::milliseconds(250);     // at most four draws a second

}  // namespace

Progress::Progress(const char* verb, bool wanted)
    : verb_(verb), on_(wanted && isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()),
      next_(start_ + kQuiet) {}

Progress::~Progress() { done(); }

void Progress::update(long long records, std::size_t document, std::size_t documents) {
    // The clock is read once every 64 calls: a call per record costs next to nothing.
    if (!on_ || (++calls_ & 63) != 1) return;
    if (std::chrono::steady_clock::now() < next_) return;
    draw(records, document, documents);
}

void Progress::draw(long long records, std::size_t document, std::size_t documents) {
    const auto now = std::chrono::steady_clock::now();
    next_ = now + kRedraw;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    char documentsText[64] = "";
    if (documents > 1)
        std::snprintf(documentsText, sizeof documentsText, "document %zu of %zu, ", document, documents);
    std::fprintf(stderr, "\r\033[K%s: %s%lld records, %.0f records/s", verb_, documentsText,
                 records, seconds > 0 ? double(records) / seconds : 0.0);
    std::fflush(stderr);
    shown_ = true;
}

void Progress::done() {
    if (shown_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
    shown_ = false;
    on_ = false;
}

}  // namespace qvcli
