// The run logs: the standard output stream goes to destDir + "tolvaren.out"
// (statistics), the standard error stream to destDir + "tolvaren.err".
#pragma once

class SyncEngine;

void openRunLogs(SyncEngine& engine);
// The statistics switch: later statistics lines are lost.
void closeStatisticsLog(SyncEngine& engine);
// Closes both logs and deletes those this run opened and left empty.
void closeRunLogs(SyncEngine& engine);
// For a run that must end without its teardown (a worker that cannot be
// stopped may hold the streams' locks): deletes the logs this run opened
// that are empty on disk, touching neither stream. Every line is flushed as
// it is written, so what is on disk is what was written.
void abandonRunLogs(const SyncEngine& engine);
