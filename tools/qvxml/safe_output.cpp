// Output files written beside their target, and interruptions taken in order.
#include "safe_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace qvcli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void onInterrupt(int) { g_interrupted = 1; }
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

struct InterruptGuard::Saved {
    struct sigaction actions[3];
};

InterruptGuard::InterruptGuard(std::string whatIsKept)
    : kept_(std::move(whatIsKept)), saved_(new Saved) {
    g_interrupted = 0;
    int index = 0;
    for (int sig : kSignals) {
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, &saved_->actions[index++]);
    }
}

InterruptGuard::~InterruptGuard() {
    int index = 0;
    for (int sig : kSignals) sigaction(sig, &saved_->actions[index++], nullptr);
    delete saved_;
}

bool InterruptGuard::interrupted() { return g_interrupted != 0; }

void InterruptGuard::check() const {
    if (g_interrupted) throw Failure("interrupted: " + kept_);
}

OutputFile::OutputFile(const std::string& target) : target_(target) {
    struct stat st {};
    if (stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw Failure("cannot write " + target + ": it is a folder");
    const std::string folder = folderOf(target);
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Failure("cannot write " + target + ": folder " + folder + " does not exist");
    std::string name = target + ".XXXXXX";
    const int fd = mkstemp(&name[0]);
    if (fd < 0)
        throw Failure("cannot write " + target + ": " + std::strerror(errno) + " (in folder " +
                      folder + ")");
    close(fd);
    temporary_ = name;
}

OutputFile::~OutputFile() {
    if (!done_) unlink(temporary_.c_str());
}

void OutputFile::commit() {
    // The new file takes the permissions a plain create would have given it, or the
    // ones of the file it replaces.
    struct stat st {};
    mode_t mode;
    if (stat(target_.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    chmod(temporary_.c_str(), mode);
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
        throw Failure("cannot write " + target_ + ": " + std::strerror(errno));
    done_ = true;
}

}  // namespace qvcli
