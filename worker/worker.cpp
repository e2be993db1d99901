#include "worker/worker.h"

#include <iostream>
#include <string>

#include "app/message_box.h"
#include "app/show_message.h"
#include "splash/splash_window.h"
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

}  // namespace

bool runWorker(SyncEngine& engine, HWND owner) {
    GateTheCalls gated(engine);
    try {
        if (!decide(engine, owner) || engine.stopping()) return false;
    } catch (const Stopped&) {
        return false;
    }
    engine.launchCommand();
    return true;
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
