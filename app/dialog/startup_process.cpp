#include "app/dialog/startup_process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <thread>

namespace pellow {

namespace {

// The dialog's process, seen from the game's, between Play and UnloadStartupDialog.
struct DialogProcess {
    pid_t pid = -1;
    int release = -1;  // closed to let the dialog's process end
};
DialogProcess apart;

[[noreturn]] void RunAsDialogProcess(LaunchSettings& settings, StoredChoices& stored, int choicesOut,
                                     int releaseIn, pid_t game) {
    // The dialog does not outlive the game's process, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != game) _exit(1);
    const int status = RunStartupDialog(settings, [&] {
            if (SendChoices(choicesOut, settings, stored)) {
                // The dialog stays on the screen while the game unpacks, as it would in one process.
                char ignored;
                for (ssize_t n; (n = read(releaseIn, &ignored, 1)) != 0;)
                    if (n < 0 && errno != EINTR) break;
                std::fflush(nullptr);
                _exit(0);
            }
            // The game's process is gone; so is the reason to go on.
            _exit(1);
        }, &stored, [choicesOut] { SendShown(choicesOut); });
    std::fflush(nullptr);
    _exit(status);
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
    // A message that is not a whole set of choices ends the game here, with its reason.
    const std::optional<int> ended =
        AwaitChoices(choices[0], pid, settings, stored, whileChoosing, onChoices, std::cerr);
    close(choices[0]);
    if (ended) {
        close(release[1]);
        return *ended;
    }
    apart = DialogProcess{pid, release[1]};
    if (loadForm1) loadForm1();
    ReleaseDialogProcess();
    return 0;
}

}  // namespace pellow
