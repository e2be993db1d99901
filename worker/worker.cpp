#include "worker/worker.h"

#include <exception>
#include <iostream>
#include <string>

#include "win/message_box.h"
#include "win/show_message.h"
#include "core/worker_window.h"
#include "sync/sync_engine.h"
#include "worker/application_path.h"
#include "worker/gated_calls.h"

namespace {

constexpr const char* kCaption = "Синхронизация";

std::string quotedApplication(const SyncEngine& engine) {
    char path[kPathBuffer];
    applicationPath(engine.settings, path);
    return std::string("\"") + path + "\"?";
}

// A box of the worker's own, shown only while the user is not being asked
// whether to abort and never after an abort; IDCANCEL when not shown.
int workerBox(SyncEngine& engine, HWND owner, const std::string& text, UINT type) {
    if (!engine.gate.beginAsking()) return IDCANCEL;
    int answer = messageBox(owner, text.c_str(), kCaption, type);
    engine.gate.endAsking();
    return answer;
}

bool ask(SyncEngine& engine, HWND owner, const std::string& text) {
    return workerBox(engine, owner, text, MB_YESNO | MB_ICONWARNING) == IDYES;
}

// The application runs: nothing is synchronised; the user may still start it.
bool whenApplicationRuns(SyncEngine& engine, HWND owner) {
    std::cerr << "Ошибка: приложение уже запущено, синхронизация невозможна" << std::endl;
    if (quietMode) return false;
    return ask(engine, owner,
               "Приложение уже запущено, синхронизация невозможна!\nПопытаться выполнить\n" +
                   quotedApplication(engine));
}

// The pass counted errors: tell, or ask whether to start the command anyway.
bool whenPassFailed(SyncEngine& engine, HWND owner) {
    if (!engine.settings.askOnError) {
        const char* text = "В процессе синхронизации возникли ошибки.\nПрограмма будет закрыта.";
        if (quietMode)
            showMessage(owner, text, kCaption, MB_ICONWARNING);
        else
            workerBox(engine, owner, text, MB_ICONWARNING);
        return false;
    }
    if (quietMode) return false;
    return ask(engine, owner,
               "В процессе синхронизации возникли ошибки\nпопытаться выполнить\n" + quotedApplication(engine));
}

// Whether to start the command. Every step begins at a checkpoint: after an
// abort nothing more is written, asked or started. A stopped pass is not a
// failed one.
bool decide(SyncEngine& engine, HWND owner) {
    bool running = engine.isApplicationRunning();
    if (engine.stopping()) return false;
    if (running) return whenApplicationRuns(engine, owner);
    bool clean = engine.runPass();
    if (engine.stopping()) return false;
    return clean || whenPassFailed(engine, owner);
}

// Anything but a stop that unwinds the worker (memory running out on a
// copy or listing thread, whose pools carry it here): one error line, and
// the run ends as after an abort, with nothing more copied, asked or started.
void reportFailure(SyncEngine& engine, const char* what) {
    if (engine.gate.stopRequested()) return;  // aborted already: nothing more is written
    ++engine.errorCount;
    std::cerr << "Ошибка: " << what << ", синхронизация прервана" << std::endl;
}

}  // namespace

bool runWorker(SyncEngine& engine, HWND owner) {
    try {
        GateTheCalls gated(engine);
        if (!decide(engine, owner) || engine.stopping()) return false;
        engine.launchCommand();
        return true;
    } catch (const Stopped&) {
    } catch (const std::exception& error) {
        reportFailure(engine, error.what());
    } catch (...) {
        reportFailure(engine, "неизвестное исключение");
    }
    return false;
}

DWORD WINAPI workerMain(void* param) {
    auto* start = static_cast<WorkerStart*>(param);
    runWorker(*start->engine, start->window->Window());
    // Stands still while the user is being asked: the window must not close
    // under the question.
    start->engine->gate.checkpoint();
    start->window->PostClose();
    ExitThread(0);
}
