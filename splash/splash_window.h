// The borderless splash window shown while the worker synchronises: the
// background picture with its fixed texts, the progress caption and the
// wave strip. It lives on the main thread and controls the worker thread
// through its gate (paused around the abort question, stopped on
// destruction).
#pragma once

#include <windows.h>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "splash/background_picture.h"
#include "splash/progress_bar.h"
#include "core/caption_sink.h"
#include "core/settings.h"
#include "core/worker_window.h"
#include "win/unique_handle.h"
#include "core/worker_gate.h"

class SplashWindow : public CaptionSink, public WorkerWindow {
public:
    static constexpr const char* kClassName = "tolvaren.v2";
    static constexpr int kCaptionBuffer = 1024;
    static constexpr int kCaptionX = 15, kCaptionY = 23;
    static constexpr DWORD kWorkerGraceMs = 2000;  // for a stopped worker to end by itself

    // Reads the picture setting from the INI file.
    SplashWindow(HINSTANCE instance, const char* iniPath);
    ~SplashWindow();
    SplashWindow(const SplashWindow&) = delete;
    SplashWindow& operator=(const SplashWindow&) = delete;

    // Loads the picture (waiting a limited time for the share), registers
    // the class, creates and shows the window centred on the screen. False
    // (with a line in the error stream) when the window could not be made:
    // the worker is stopped then, and no message loop runs.
    bool CreateWindowAndShow();
    // The worker thread (and its identifier, for withdrawing its boxes),
    // stopped and waited for when the window goes; it is never terminated,
    // since it may hold a lock the process still needs. The caller keeps
    // owning the handle and must keep it open while the window lives.
    void SetWorkerThread(HANDLE thread, DWORD id = 0) {
        worker = thread;
        workerId = id;
    }
    // The gate the worker passes before every file operation and caption:
    // paused while the abort question is up, stopped by a confirmed abort
    // and by WM_DESTROY. By default the window's own.
    void SetWorkerGate(WorkerGate* workerGate) { gate = workerGate ? workerGate : &ownGate; }
    WorkerGate& Gate() const { return *gate; }
    // Serves the window until the quit message; returns its exit code.
    int RunMessageLoop();
    // Asks the window to close (from the worker, as its last act).
    void PostClose() override;

    // Any thread: null before creation and after WM_DESTROY.
    HWND Window() const override { return window.load(); }
    HWND ShownWindow() override;
    int Width() const { return width; }
    int Height() const { return height; }
    const char* Title() const { return title; }
    const IProgressBar* ProgressBar() const { return progress.get(); }
    std::string Caption() const;  // the caption as it will be drawn
    // Any thread: takes the text under the caption lock and returns at once;
    // the window repaints the caption at its next frame, always with the
    // latest text.
    void HandCaption(const char* text) override;
    static constexpr UINT kCaptionFrameMs = 15;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void SetCaption(const char* text);
    void RepaintHandedCaption();
    void Paint(HDC dc);
    void PaintCaption(HDC dc);
    bool ComposeBackground(HDC dc);
    void DrawFixedTexts(HDC target);
    void AbortRequest();
    void OnDestroy();
    bool StopWorker();
    bool WaitForWorker(DWORD timeoutMs);
    void WithdrawWorkerBoxes();
    void Settle();

    BackgroundPicture background;
    // Written by the main thread, read by the worker (Window, PostClose).
    std::atomic<HWND> window{nullptr};
    HWND created = nullptr;  // the real window, kept after WM_DESTROY cleared `window`
    HINSTANCE instance;
    int width = 0, height = 0;
    const char* title = "Синхронизация файлов и каталогов";
    char pictureSetting[1024] = "";
    char iniPath[kPathBuffer] = "";  // where the picture setting's archive is looked for
    win::UniqueBrush brush;
    char caption[kCaptionBuffer] = "";
    int captionLength = 0;
    bool captionChanged = false;  // handed over, not yet repainted
    mutable std::mutex captionLock;
    win::UniqueFont font;
    std::unique_ptr<IProgressBar> progress;
    HANDLE worker = nullptr;
    DWORD workerId = 0;
    bool asking = false;  // the abort question is on screen
    WorkerGate ownGate;
    WorkerGate* gate = &ownGate;
    // The worker may finish, or wish to ask, before the window is made.
    std::atomic<bool> closeRequested{false};
    std::mutex settleLock;
    std::condition_variable settledChanged;
    bool settled = false;  // the window was made, could not be, or went
};
