#include "app/dialog/startup_process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <thread>

namespace pellow {

namespace {

// Repeats `io` (read or write) until `size` bytes have passed; false at end of file or on an
// error first.
template <class Io, class Byte>
bool Whole(Io io, int fd, Byte* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = io(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}
bool WriteAll(int fd, const char* data, std::size_t size) { return Whole(::write, fd, data, size); }
bool ReadAll(int fd, char* data, std::size_t size) { return Whole(::read, fd, data, size); }

// The dialog's process, seen from the game's, between Play and UnloadStartupDialog.
struct DialogProcess {
    pid_t pid = -1;
    int release = -1;  // closed to let the dialog's process end
};
DialogProcess apart;

// What the dialog's process sends: that it shows, then (after Play) the choices, which are a
// few dozen bytes.
constexpr char kShown = 'S';
constexpr char kPlayed = 'P';
constexpr std::uint32_t kLongestChoices = 1 << 16;

[[noreturn]] void RunAsDialogProcess(LaunchSettings& settings, StoredChoices& stored, int choicesOut,
                                     int releaseIn, pid_t game) {
    // The dialog does not outlive the game's process, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != game) _exit(1);
    const int status = RunStartupDialog(settings, [&] {
            const std::string bytes = PackChoices(settings, stored);
            const auto size = static_cast<std::uint32_t>(bytes.size());
            if (WriteAll(choicesOut, &kPlayed, 1) &&
                WriteAll(choicesOut, reinterpret_cast<const char*>(&size), sizeof size) &&
                WriteAll(choicesOut, bytes.data(), bytes.size())) {
                // The dialog stays on the screen while the game unpacks, as it would in one process.
                char ignored;
                while (ReadAll(releaseIn, &ignored, 1)) {}
                std::fflush(nullptr);
                _exit(0);
            }
            // The game's process is gone; so is the reason to go on.
            _exit(1);
        }, &stored, [choicesOut] { WriteAll(choicesOut, &kShown, 1); });
    std::fflush(nullptr);
    _exit(status);
}

// The game's process ends as the dialog's did.
int StatusOf(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return 1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        std::signal(sig, SIG_DFL);
        raise(sig);
        return 128 + sig;
    }
    return 1;
}

}  // namespace

void ReleaseDialogProcess() {
    if (apart.pid < 0) return;
    close(apart.release);
    // Its ending (the toolkit's window closed, its memory returned) is waited for beside the
    // game's start, not in front of it.
    std::thread([pid = apart.pid] {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
    }).detach();
    apart = DialogProcess{};
}

int RunStartupDialogApart(LaunchSettings& settings, std::function<void()> loadForm1, StoredChoices& stored,
                          std::function<void()> whileChoosing, std::function<void()> onChoices) {
    int choices[2], release[2];
    if (pipe2(choices, O_CLOEXEC) != 0) return RunStartupDialog(settings, std::move(loadForm1), &stored);
    if (pipe2(release, O_CLOEXEC) != 0) {
        close(choices[0]);
        close(choices[1]);
        return RunStartupDialog(settings, std::move(loadForm1), &stored);
    }
    ReadToolkitOptionsWithoutSaving();
    // Nothing buffered is to be written twice.
    std::cout.flush();
    std::fflush(nullptr);
    const pid_t game = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        close(choices[0]);
        close(release[1]);
        RunAsDialogProcess(settings, stored, choices[1], release[0], game);
    }
    close(choices[1]);
    close(release[0]);
    if (pid < 0) {
        close(choices[0]);
        close(release[1]);
        return RunStartupDialog(settings, std::move(loadForm1), &stored);
    }
    // After Play: the choices, a few dozen bytes behind their size.
    const auto readChoices = [&](char what) {
        std::uint32_t size = 0;
        if (what != kPlayed || !ReadAll(choices[0], reinterpret_cast<char*>(&size), sizeof size) ||
            size > kLongestChoices)
            return false;
        std::string bytes(size, '\0');
        return ReadAll(choices[0], bytes.data(), bytes.size()) && UnpackChoices(bytes, settings, stored);
    };
    char what = 0;
    bool played = ReadAll(choices[0], &what, 1);
    if (played && what == kShown) {
        // The choices are awaited, and what they allow begun, beside the preparation.
        std::thread reader([&] {
            char next = 0;
            played = ReadAll(choices[0], &next, 1) && readChoices(next);
            if (played && onChoices) onChoices();
        });
        // The reader is joined whatever the preparation does; its failure comes after.
        std::exception_ptr failed;
        try {
            if (whileChoosing) whileChoosing();
        } catch (...) {
            failed = std::current_exception();
        }
        reader.join();
        if (failed) std::rethrow_exception(failed);
    } else {
        played = played && readChoices(what);
    }
    close(choices[0]);
    if (!played) {
        close(release[1]);
        return StatusOf(pid);
    }
    apart = DialogProcess{pid, release[1]};
    if (loadForm1) loadForm1();
    ReleaseDialogProcess();
    return 0;
}

}  // namespace pellow
