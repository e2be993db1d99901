// The run logs: the standard output stream goes to destDir + "tolvaren.out"
// (statistics), the standard error stream to destDir + "tolvaren.err". One
// owner per run; the logs it opened are closed, and removed when empty, as
// it goes.
#pragma once

#include "core/settings.h"

class RunLogs {
public:
    // The settings give the directory and the statistics switch when asked;
    // they outlive this owner.
    explicit RunLogs(const SettingsRecord& settings) : settings_(settings) {}
    ~RunLogs() { close(); }
    RunLogs(const RunLogs&) = delete;
    RunLogs& operator=(const RunLogs&) = delete;

    void open();
    // The statistics switch: later statistics lines are lost.
    void closeStatistics();
    // Closes both logs and deletes those this run opened and left empty.
    void close();
    // For a run that must end without its teardown (a worker that cannot be
    // stopped may hold the streams' locks): deletes the logs this run opened
    // that are empty on disk, touching neither stream. Every line is flushed
    // as it is written, so what is on disk is what was written.
    void abandon() const;

private:
    const SettingsRecord& settings_;
    bool errorsOpen_ = false;        // tolvaren.err was opened this run and is open
    bool statisticsOpened_ = false;  // tolvaren.out was opened this run
    bool statisticsOpen_ = false;    // ... and is still open
};
