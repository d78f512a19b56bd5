// Signals while an output file is written: the temporary file removed should
// SIGINT, SIGTERM or SIGHUP end the process, and signals held back for a
// thread while it writes.
#pragma once

#include <signal.h>

#include <array>
#include <span>
#include <string>

namespace paltab::io {

// Signals that end a process by default and that a person or a session
// sends (Ctrl-C, kill, a closed terminal): the temporary file goes first.
constexpr std::array<int, 3> kCleanupSignals{SIGINT, SIGTERM, SIGHUP};
constexpr std::array<int, 1> kFileSizeSignal{SIGXFSZ};

struct CleanupSlot;

// Removes the temporary file it watches if SIGINT, SIGTERM or SIGHUP ends
// the process meanwhile. A signal the program ignores (nohup) or handles
// itself is left as it is.
class TemporaryWatch {
public:
    TemporaryWatch();
    ~TemporaryWatch();
    TemporaryWatch(const TemporaryWatch&) = delete;
    TemporaryWatch& operator=(const TemporaryWatch&) = delete;

    // Watches `path`, copied now, before the file is created.
    void Watch(const std::string& path);
    void Forget();

private:
    CleanupSlot* slot_ = nullptr;
};

// Holds `signals` back for this thread while it lives. With `discard`, one
// raised meanwhile is taken back unseen: SIGXFSZ, so that a write past the
// file size limit fails with EFBIG instead of ending the process. Without,
// they are delivered when it ends.
class HeldSignals {
public:
    HeldSignals(std::span<const int> signals, bool discard);
    ~HeldSignals();
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

private:
    bool discard_;
    sigset_t held_;
    sigset_t previous_;
    sigset_t pendingBefore_;
};

}  // namespace paltab::io
