// The run logs: the standard output stream goes to destDir + "tolvaren.out"
// (statistics), the standard error stream to destDir + "tolvaren.err".
#pragma once

class SyncEngine;

void openRunLogs(SyncEngine& engine);
void closeRunLogs(SyncEngine& engine);
