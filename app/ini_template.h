// The commented default INI file carried as resource "TXT" 103.
#pragma once

// Writes the template as tolvaren.ini into the current directory; true when
// written. Failures are told through showMessage.
bool generateIniFile();

// The confirmation shown after a successful generation.
void showGeneratedMessage();
