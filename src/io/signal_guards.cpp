// The signal side of writing an output file: the slots a handler reads to
// remove temporary files, the handler, and the held-back signals.
#include "io/signal_guards.hpp"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

namespace paltab::io {

// The temporary files a signal handler removes. A handler reaches nothing
// but static storage, so this is the one process-wide state of the writer;
// a slot's path is written only while the slot is not armed.
struct CleanupSlot {
    std::atomic<bool> taken{false};
    std::atomic<bool> armed{false};
    std::array<char, PATH_MAX> path{};
};

namespace {

// Temporary files watched at once: one per thread writing an output.
constexpr std::size_t kCleanupSlots = 8;

std::array<CleanupSlot, kCleanupSlots> cleanupSlots;
std::mutex cleanupMutex;  // guards the two below
int cleanupUsers = 0;
std::array<bool, kCleanupSignals.size()> cleanupInstalled{};

// Async-signal-safe: unlink, sigaction and raise only. Installed only over
// the default action, which it restores and raises again, so that the
// process still ends as the signal meant (status and all).
void RemoveTemporariesAndEnd(int signal) {
    for (CleanupSlot& slot : cleanupSlots) {
        if (slot.armed.load(std::memory_order_acquire)) {
            ::unlink(slot.path.data());
        }
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal);
}

void Install() {
    struct sigaction ours {};
    ours.sa_handler = RemoveTemporariesAndEnd;
    sigemptyset(&ours.sa_mask);
    for (const int signal : kCleanupSignals) {
        sigaddset(&ours.sa_mask, signal);
    }
    for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
        struct sigaction current {};
        cleanupInstalled[i] = ::sigaction(kCleanupSignals[i], nullptr, &current) == 0 &&
                              (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_DFL &&
                              ::sigaction(kCleanupSignals[i], &ours, nullptr) == 0;
    }
}

void Uninstall() {
    for (std::size_t i = 0; i < kCleanupSignals.size(); ++i) {
        struct sigaction current {};
        if (cleanupInstalled[i] && ::sigaction(kCleanupSignals[i], nullptr, &current) == 0 &&
            current.sa_handler == RemoveTemporariesAndEnd) {
            struct sigaction fallback {};
            fallback.sa_handler = SIG_DFL;
            ::sigaction(kCleanupSignals[i], &fallback, nullptr);
        }
        cleanupInstalled[i] = false;
    }
}

}  // namespace

TemporaryWatch::TemporaryWatch() {
    for (CleanupSlot& slot : cleanupSlots) {
        bool expected = false;
        if (slot.taken.compare_exchange_strong(expected, true)) {
            slot_ = &slot;
            break;
        }
    }
    if (slot_ == nullptr) {
        return;
    }
    const std::lock_guard lock(cleanupMutex);
    if (cleanupUsers++ == 0) {
        Install();
    }
}

TemporaryWatch::~TemporaryWatch() {
    if (slot_ == nullptr) {
        return;
    }
    const int savedErrno = errno;
    Forget();
    {
        const std::lock_guard lock(cleanupMutex);
        if (--cleanupUsers == 0) {
            Uninstall();
        }
    }
    slot_->taken.store(false, std::memory_order_release);
    errno = savedErrno;
}

void TemporaryWatch::Watch(const std::string& path) {
    Forget();
    if (slot_ != nullptr && path.size() < slot_->path.size()) {
        std::memcpy(slot_->path.data(), path.c_str(), path.size() + 1);
        slot_->armed.store(true, std::memory_order_release);
    }
}

void TemporaryWatch::Forget() {
    if (slot_ != nullptr) {
        slot_->armed.store(false, std::memory_order_release);
    }
}

HeldSignals::HeldSignals(std::span<const int> signals, bool discard) : discard_(discard) {
    sigemptyset(&held_);
    for (const int signal : signals) {
        sigaddset(&held_, signal);
    }
    ::pthread_sigmask(SIG_BLOCK, &held_, &previous_);
    ::sigpending(&pendingBefore_);
}

HeldSignals::~HeldSignals() {
    const int savedErrno = errno;
    sigset_t pending;
    if (discard_ && ::sigpending(&pending) == 0) {
        for (int signal = 1; signal < NSIG; ++signal) {
            if (sigismember(&held_, signal) == 1 && sigismember(&pending, signal) == 1 &&
                sigismember(&pendingBefore_, signal) != 1) {
                sigset_t one;
                sigemptyset(&one);
                sigaddset(&one, signal);
                const struct timespec now {};
                ::sigtimedwait(&one, nullptr, &now);
            }
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    errno = savedErrno;
}

}  // namespace paltab::io
