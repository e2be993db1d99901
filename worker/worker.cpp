#include "worker/worker.h"

#include <exception>
#include <iostream>
#include <string>

#include "win/message_box.h"
#include "win/show_message.h"
#include "core/worker_window.h"
#include "sync/pass.h"
#include "sync/summary.h"
#include "worker/application_path.h"
#include "worker/gated_calls.h"
#include "worker/launch.h"
#include "worker/running_check.h"

namespace {

constexpr const char* kCaption = "Синхронизация";

std::string quotedApplication(const SettingsRecord& settings) {
    char path[kPathBuffer];
    applicationPath(settings, path);
    return std::string("\"") + path + "\"?";
}

// A box of the worker's own, shown only while the user is not being asked
// whether to abort and never after an abort; IDCANCEL when not shown.
int workerBox(const WorkerRun& run, HWND owner, const std::string& text, UINT type) {
    if (!run.gate.beginAsking()) return IDCANCEL;
    int answer = messageBox(owner, text.c_str(), kCaption, type);
    run.gate.endAsking();
    return answer;
}

bool ask(const WorkerRun& run, HWND owner, const std::string& text) {
    return workerBox(run, owner, text, MB_YESNO | MB_ICONWARNING) == IDYES;
}

// The application runs: nothing is synchronised; the user may still start it.
bool whenApplicationRuns(const WorkerRun& run, HWND owner) {
    std::cerr << "Ошибка: приложение уже запущено, синхронизация невозможна" << std::endl;
    if (quietMode) return false;
    return ask(
        run, owner,
        "Приложение уже запущено, синхронизация невозможна!\nПопытаться выполнить\n" + quotedApplication(run.settings));
}

// The pass counted errors: tell, or ask whether to start the command anyway.
bool whenPassFailed(const WorkerRun& run, HWND owner) {
    if (!run.settings.askOnError) {
        const char* text = "В процессе синхронизации возникли ошибки.\nПрограмма будет закрыта.";
        if (quietMode)
            showMessage(owner, text, kCaption, MB_ICONWARNING);
        else
            workerBox(run, owner, text, MB_ICONWARNING);
        return false;
    }
    if (quietMode) return false;
    return ask(run, owner,
               "В процессе синхронизации возникли ошибки\nпопытаться выполнить\n" + quotedApplication(run.settings));
}

// The owner of a question: the window, once it has been made (or could
// not be); the worker starts before it.
HWND ownerOf(WorkerWindow* window) { return window ? window->ShownWindow() : nullptr; }

// Whether to start the command. Every step begins at a checkpoint: after an
// abort nothing more is written, asked or started. A stopped pass is not a
// failed one.
bool decide(const WorkerRun& run, Pass& pass, WorkerWindow* window) {
    bool running = isApplicationRunning(run.settings, run.processes, run.gate);
    if (run.gate.checkpoint()) return false;
    if (running) return whenApplicationRuns(run, ownerOf(window));
    bool clean = pass.run();
    if (run.gate.checkpoint()) return false;
    return clean || whenPassFailed(run, ownerOf(window));
}

// Anything but a stop that unwinds the worker (memory running out on a
// copy or listing thread, whose pools carry it here): one error line, and
// the run ends as after an abort, with nothing more copied, asked or started.
void reportFailure(const WorkerRun& run, const char* what) {
    if (run.gate.stopRequested()) return;  // aborted already: nothing more is written
    ++run.errorCount;
    std::cerr << "Ошибка: " << what << ", синхронизация прервана" << std::endl;
}

}  // namespace

bool runWorker(const WorkerRun& run, WorkerWindow* window) {
    // Every file-system call of the pass passes the gate: a stop unwinds
    // from the first one after it.
    GatedCalls gated(run.fs, run.gate);
    Pass pass(run.settings, PassTools{gated, run.gate, run.captions, run.copyThreads, run.listThreads}, run.errorCount);
    bool launched = false;
    try {
        if (decide(run, pass, window) && !run.gate.checkpoint()) {
            launchCommand(run.settings);
            launched = true;
        }
    } catch (const Stopped&) {
    } catch (const std::exception& error) {
        reportFailure(run, error.what());
    } catch (...) {
        reportFailure(run, "неизвестное исключение");
    }
    if (!run.gate.stopRequested())
        std::cout << summaryLine(pass.tally, run.errorCount, GetTickCount() - run.startTick) << std::endl;
    return launched;
}

DWORD WINAPI workerMain(void* param) {
    auto* start = static_cast<WorkerStart*>(param);
    runWorker(*start->run, start->window);
    // Stands still while the user is being asked: the window must not close
    // under the question.
    start->run->gate.checkpoint();
    start->window->PostClose();
    ExitThread(0);
}
