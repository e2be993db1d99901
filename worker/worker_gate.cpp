#include "worker/worker_gate.h"

WorkerGate::WorkerGate() : open(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {}

void WorkerGate::pause() {
    if (!stopRequested()) ResetEvent(open.get());
}

void WorkerGate::resume() { SetEvent(open.get()); }

void WorkerGate::stop() {
    stopFlag.store(true);
    SetEvent(open.get());
}

bool WorkerGate::checkpoint() const {
    // Without an event (creation failed) there is no pause, only the stop.
    if (open) WaitForSingleObject(open.get(), INFINITE);
    return stopRequested();
}
