// Output files written beside their target, and interruptions taken in order.
#include "safe_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli.h"

namespace qvcli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void onInterrupt(int) { g_interrupted = 1; }
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary files of the OutputFiles alive, for a signal that comes while no
// InterruptGuard takes it (during the parse before the guarded work, say): the
// handler removes them and then ends the process as the signal would have.
constexpr int kMaxTemporaries = 4;
char g_temporaries[kMaxTemporaries][4096];
char g_notice[4200];  // "qvxml: interrupted: OUT is left as it was\n" of the first one
std::size_t g_noticeLength = 0;
int g_temporaryCount = 0;
struct sigaction g_before[3];

void onFatalSignal(int sig) {
    for (int i = 0; i < g_temporaryCount; ++i)
        if (g_temporaries[i][0] != '\0') unlink(g_temporaries[i]);
    if (g_noticeLength != 0) {
        const ssize_t ignored = write(2, g_notice, g_noticeLength);
        (void)ignored;
    }
    signal(sig, SIG_DFL);
    raise(sig);
}

std::string temporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

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
    // A symbolic link is written through: the file it names is replaced, the link kept.
    struct stat link {};
    if (lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* real = realpath(target.c_str(), nullptr)) {
            target_ = real;
            std::free(real);
        }
    }
    // A device, a pipe or a socket (/dev/stdout, a FIFO) cannot be renamed over: the
    // result is written to a temporary file and copied into it when complete.
    // An existing file this user may not write is refused, as opening it would be:
    // renaming over it needs only the folder's permission, and would replace a file
    // (another user's account, a read-only file) that was never ours to change.
    if (access(target_.c_str(), F_OK) == 0 && access(target_.c_str(), W_OK) != 0)
        throw Failure("cannot write " + target + ": " + std::strerror(errno));
    streamed_ = stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    const std::string folder = streamed_ ? temporaryFolder() : folderOf(target_);
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw Failure("cannot write " + target + ": folder " + folder + " does not exist");
    std::string name = streamed_ ? folder + "/qvxml.XXXXXX" : target_ + ".XXXXXX";
    const int fd = mkstemp(&name[0]);
    if (fd < 0)
        throw Failure("cannot write " + target + ": " + std::strerror(errno) + " (in folder " +
                      folder + ")");
    close(fd);
    temporary_ = name;
    if (g_temporaryCount < kMaxTemporaries && name.size() < sizeof g_temporaries[0]) {
        slot_ = g_temporaryCount++;
        std::memcpy(g_temporaries[slot_], name.c_str(), name.size() + 1);
        if (slot_ == 0) {
            const std::string notice = "qvxml: interrupted: " + target + " is left as it was\n";
            g_noticeLength = notice.size() < sizeof g_notice ? notice.size() : 0;
            std::memcpy(g_notice, notice.data(), g_noticeLength);
            int index = 0;
            for (int sig : kSignals) {
                struct sigaction action {};
                action.sa_handler = onFatalSignal;
                sigemptyset(&action.sa_mask);
                sigaction(sig, &action, &g_before[index++]);
            }
        }
    }
}

OutputFile::~OutputFile() {
    if (!done_) unlink(temporary_.c_str());
    release();
}

void OutputFile::release() {
    if (slot_ < 0) return;
    g_temporaries[slot_][0] = '\0';
    if (slot_ == g_temporaryCount - 1) {
        while (g_temporaryCount > 0 && g_temporaries[g_temporaryCount - 1][0] == '\0') --g_temporaryCount;
        if (g_temporaryCount == 0) {
            int index = 0;
            for (int sig : kSignals) sigaction(sig, &g_before[index++], nullptr);
        }
    }
    slot_ = -1;
}

void OutputFile::commit() {
    if (streamed_) {
        copyInto();
        return;
    }
    // The new file takes the permissions a plain create would have given it, or the
    // ones of the file it replaces.
    struct stat st {};
    mode_t mode;
    if (stat(target_.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
        // Its owner and group too, where this user may give them (root may).
        const int ignored = chown(temporary_.c_str(), st.st_uid, st.st_gid);
        (void)ignored;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    chmod(temporary_.c_str(), mode);
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
        throw Failure("cannot write " + target_ + ": " + std::strerror(errno));
    done_ = true;
    release();
}

void OutputFile::copyInto() {
    const int in = open(temporary_.c_str(), O_RDONLY);
    const int out = in < 0 ? -1 : open(target_.c_str(), O_WRONLY | O_TRUNC);
    int error = in < 0 || out < 0 ? errno : 0;
    char buffer[1 << 16];
    while (error == 0) {
        const ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got < 0) error = errno;
            break;
        }
        for (ssize_t put = 0; put < got && error == 0;) {
            const ssize_t n = write(out, buffer + put, std::size_t(got - put));
            if (n < 0 && errno != EINTR) error = errno;
            if (n > 0) put += n;
        }
    }
    if (out >= 0 && close(out) != 0 && error == 0) error = errno;
    if (in >= 0) close(in);
    if (error != 0) throw Failure("cannot write " + target_ + ": " + std::strerror(error));
}

}  // namespace qvcli
