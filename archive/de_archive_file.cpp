#include "archive/de_archive_file.h"

DeArchiveFile::~DeArchiveFile() {
    lastError.clear();
    names.clear();
}
