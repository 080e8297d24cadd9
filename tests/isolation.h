// Running a piece of a test where a failure cannot take the test runner down:
// in a forked child under an address-space cap (memory risks), or on a thread
// with a small stack (depth risks).
#pragma once

#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <functional>
#include <string>

namespace qvtest {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// Runs body() in a forked child whose address space is capped at `bytes` (no cap
// under AddressSanitizer, which reserves terabytes of address space). Returns how
// the child ended: "ok", "failed" (body returned false), or the signal or status.
inline std::string inCappedChild(std::size_t bytes, const std::function<bool()>& body) {
    const pid_t child = fork();
    if (child < 0) return "fork failed";
    if (child == 0) {
        if (!kAddressSanitizer) {
            struct rlimit cap = {bytes, bytes};
            setrlimit(RLIMIT_AS, &cap);
        }
        _exit(body() ? 0 : 3);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return "wait failed";
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    if (WEXITSTATUS(status) == 3) return "failed";
    return WEXITSTATUS(status) == 0 ? "ok" : "exit " + std::to_string(WEXITSTATUS(status));
}

// Runs body() on a thread with a stack of `bytes` and waits for it. A stack
// overflow there ends the whole process, so depth cases run inside a child too.
inline void onStackOf(std::size_t bytes, const std::function<void()>& body) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, bytes);
    pthread_t thread;
    auto run = [](void* p) -> void* {
        (*static_cast<const std::function<void()>*>(p))();
        return nullptr;
    };
    if (pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&body)) == 0)
        pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

}  // namespace qvtest
