// The run logs: the standard output stream goes to destDir + "tolvaren.out"
// (statistics), the standard error stream to destDir + "tolvaren.err".
#pragma once

class SyncEngine;

void openRunLogs(SyncEngine& engine);
// The statistics switch: later statistics lines are lost.
void closeStatisticsLog(SyncEngine& engine);
// Closes both logs and deletes those this run opened and left empty.
void closeRunLogs(SyncEngine& engine);
