#include "worker/worker.h"

#include <iostream>
#include <string>

#include "app/message_box.h"
#include "app/show_message.h"
#include "splash/splash_window.h"
#include "sync/sync_engine.h"
#include "worker/application_path.h"

namespace {

constexpr const char* kCaption = "Синхронизация";

std::string quotedApplication(const SyncEngine& engine) {
    char path[kPathBuffer];
    applicationPath(engine.settings, path);
    return std::string("\"") + path + "\"?";
}

bool ask(HWND owner, const std::string& text) {
    return messageBox(owner, text.c_str(), kCaption, MB_YESNO | MB_ICONWARNING) == IDYES;
}

// The application runs: nothing is synchronised; the user may still start it.
bool whenApplicationRuns(SyncEngine& engine, HWND owner) {
    std::cerr << "Ошибка: приложение уже запущено, синхронизация невозможна" << std::endl;
    if (quietMode) return false;
    return ask(owner, "Приложение уже запущено, синхронизация невозможна!\nПопытаться выполнить\n" +
                          quotedApplication(engine));
}

// The pass counted errors: tell, or ask whether to start the command anyway.
bool whenPassFailed(SyncEngine& engine, HWND owner) {
    if (!engine.settings.askOnError) {
        showMessage(owner, "В процессе синхронизации возникли ошибки.\nПрограмма будет закрыта.", kCaption,
                    MB_ICONWARNING);
        return false;
    }
    if (quietMode) return false;
    return ask(owner, "В процессе синхронизации возникли ошибки\nпопытаться выполнить\n" +
                          quotedApplication(engine));
}

}  // namespace

bool runWorker(SyncEngine& engine, HWND owner) {
    bool start;
    if (engine.isApplicationRunning())
        start = whenApplicationRuns(engine, owner);
    else if (engine.runPass())
        start = true;
    else
        start = whenPassFailed(engine, owner);
    // An abort confirmed meanwhile starts nothing.
    if (!start || engine.stopping()) return false;
    engine.launchCommand();
    return true;
}

DWORD WINAPI workerMain(void* param) {
    auto* start = static_cast<WorkerStart*>(param);
    runWorker(*start->engine, start->window->Window());
    start->window->PostClose();
    ExitThread(0);
}
