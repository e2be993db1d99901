#include "worker/worker.h"

#include <iostream>
#include <string>

#include "app/message_box.h"
#include "app/show_message.h"
#include "fsops/fs_calls.h"
#include "splash/splash_window.h"
#include "sync/sync_engine.h"
#include "worker/application_path.h"

namespace {

constexpr const char* kCaption = "Синхронизация";

// Thrown at the first file-system call after a stop: unwinds the pass, so
// nothing further is listed, copied or reported, however the pass is built.
// Calls made on the pass's own helper threads (copies, listings ahead) carry
// it back to the worker thread, which unwinds from there.
struct Stopped {};

// Every file-system call of the pass first passes the gate: it stands still
// while the user is asked whether to abort, and after an abort it goes no
// further. Every call of FileSystemCalls is passed on; one added there must
// be added here, or it would bypass the engine's own calls.
class GatedCalls : public FileSystemCalls {
public:
    GatedCalls(FileSystemCalls& inner, const WorkerGate& gate) : inner_(inner), gate_(gate) {}

    HANDLE findFirstFile(const char* pattern, WIN32_FIND_DATAW* data) override {
        pass();
        return inner_.findFirstFile(pattern, data);
    }
    DWORD getFileAttributes(const char* path) override {
        pass();
        return inner_.getFileAttributes(path);
    }
    BOOL copyFileA(const char* from, const char* to) override {
        pass();
        return inner_.copyFileA(from, to);
    }
    BOOL copyFileW(const wchar_t* from, const wchar_t* to) override {
        pass();
        return inner_.copyFileW(from, to);
    }
    BOOL freeBytesAvailable(const char* dir, ULARGE_INTEGER* free) override {
        pass();
        return inner_.freeBytesAvailable(dir, free);
    }

private:
    void pass() const {
        if (gate_.checkpoint()) throw Stopped{};
    }
    FileSystemCalls& inner_;
    const WorkerGate& gate_;
};

// The engine's file-system calls go through the gate for the scope's life.
class GateTheCalls {
public:
    explicit GateTheCalls(SyncEngine& engine) : engine_(engine), saved_(engine.fs), gated_(*engine.fs, engine.gate) {
        engine.fs = &gated_;
    }
    ~GateTheCalls() { engine_.fs = saved_; }
    GateTheCalls(const GateTheCalls&) = delete;
    GateTheCalls& operator=(const GateTheCalls&) = delete;

private:
    SyncEngine& engine_;
    FileSystemCalls* saved_;
    GatedCalls gated_;
};

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
