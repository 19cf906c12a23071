#include "app/dialog/start_up.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <thread>
#include <utility>

#include "app/dialog/choices_pipe.hpp"
#include "app/dialog/startup_window.hpp"
#include "app/dialog/toolkit_display.hpp"

namespace pellow {

int StartUp::Run(std::function<void()> shown) {
    ReadToolkitOptionsWithoutSaving();
    StartupWindow dialog(settings_, hooks_.play, &stored_, std::move(shown));
    window_ = &dialog;
    struct Clear {
        StartupWindow*& window;
        ~Clear() { window = nullptr; }
    } clear{window_};
    return dialog.Run();
}

void StartUp::UnloadDialog() {
    if (window_) window_->Unload();
    else ReleaseDialogProcess();
}

void StartUp::RunAsDialogProcess(int choicesOut, int releaseIn, pid_t game) {
    // The dialog does not outlive the game's process, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != game) _exit(1);
    // Here Play hands the choices to the game's process instead of launching the game.
    LaunchHooks sendChoices;
    sendChoices.play = [&] {
        if (SendChoices(choicesOut, settings_, stored_)) {
            // The dialog stays on the screen while the game unpacks, as it would in one process.
            char ignored;
            for (ssize_t n; (n = read(releaseIn, &ignored, 1)) != 0;)
                if (n < 0 && errno != EINTR) break;
            std::fflush(nullptr);
            _exit(0);
        }
        // The game's process is gone; so is the reason to go on.
        _exit(1);
    };
    StartUp here(settings_, stored_, std::move(sendChoices));
    const int status = here.Run([choicesOut] { SendShown(choicesOut); });
    std::fflush(nullptr);
    _exit(status);
}

void StartUp::ReleaseDialogProcess() {
    if (dialogPid_ < 0) return;
    close(release_);
    // Its ending (the toolkit's window closed, its memory returned) is waited for beside the
    // game's start, not in front of it.
    std::thread([pid = dialogPid_] {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    dialogPid_ = -1;
    release_ = -1;
}

int StartUp::RunApart() {
    int choices[2], release[2];
    if (pipe2(choices, O_CLOEXEC) != 0) return Run();
    if (pipe2(release, O_CLOEXEC) != 0) {
        close(choices[0]);
        close(choices[1]);
        return Run();
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
        RunAsDialogProcess(choices[1], release[0], game);
    }
    close(choices[1]);
    close(release[0]);
    if (pid < 0) {
        close(choices[0]);
        close(release[1]);
        return Run();
    }
    // A message that is not a whole set of choices ends the game here, with its reason.
    const std::optional<int> ended = AwaitChoices(choices[0], pid, settings_, stored_, hooks_.whileChoosing,
                                                  hooks_.onChoices, std::cerr);
    close(choices[0]);
    if (ended) {
        close(release[1]);
        return *ended;
    }
    dialogPid_ = pid;
    release_ = release[1];
    if (hooks_.play) hooks_.play();
    ReleaseDialogProcess();
    return 0;
}

}  // namespace pellow
