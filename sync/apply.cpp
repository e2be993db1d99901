// Carrying out the work lists: the free-space check, then deletions,
// directory creations and copies, in list order.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <string>

#include "fsops/copy_lines.h"
#include "fsops/deletion_gate.h"
#include "fsops/ordered_log.h"
#include "fsops/partial_copy.h"
#include "fsops/path_forms.h"
#include "fsops/work_pool.h"
#include "sync/registry.h"
#include "sync/rules.h"
#include "sync/pass.h"
#include "win/fixed_text.h"
#include "win/show_message.h"

namespace {

constexpr int kSourceBuffer = 2048;

int64_t totalSize(const std::vector<DirRecord>& list) {
    uint64_t sum = 0;
    for (const DirRecord& d : list)
        for (const FileEntry& f : d.files) sum += f.size;
    return static_cast<int64_t>(sum);
}

// What the delete list really frees: files left alone without deletion or a
// strict entry free nothing.
int64_t deletedSize(const SettingsRecord& s, const DeleteList& list) {
    if (s.deleteExtraFiles) return totalSize(list);
    uint64_t sum = 0;
    for (const DirRecord& d : list)
        for (const FileEntry& f : d.files)
            if (isPartialCopy(f.name) || deletesFile(s, s.destDir + d.name + "\\" + f.name)) sum += f.size;
    return static_cast<int64_t>(sum);
}

void deleteFileEntry(Pass& pass, DeletionGate& gate, const DirRecord& d, const FileEntry& f) {
    const SettingsRecord& s = pass.settings;
    char path[kPathBuffer];
    bool fits = win::joinText(path, {s.destDir, d.name.c_str(), "\\", f.name});
    std::string full = fits ? std::string(path) : s.destDir + d.name + "\\" + f.name;
    if (!isPartialCopy(f.name) && !deletesFile(s, full)) return;
    if (!fits) {
        std::cerr << destinationPathTooLongLine("удаления файла", full) << std::endl;
        ++pass.errorCount;
        return;
    }
    if (pass.listOnly()) {
        std::cout << "Удаление файла \"" << path << "\"" << std::endl;
        ++pass.tally.deletedFiles;
        return;
    }
    DWORD code = 0;
    DeletionGate::Outcome outcome = gate.deleteFile(path, true, &code);
    if (outcome == DeletionGate::Outcome::Deleted) ++pass.tally.deletedFiles;
    if (outcome == DeletionGate::Outcome::Failed) {
        std::cerr << "Ошибка " << code << " удаления файла \"" << path << "\"" << std::endl;
        ++pass.errorCount;
    }
}

void applyDeletion(Pass& pass, DeletionGate& gate, const DirRecord& d) {
    if (pass.stopping()) return;
    if ((d.flags & DirDelete) == DirDelete) {
        char dir[kPathBuffer];
        if (!win::joinText(dir, {pass.settings.destDir, d.name.c_str(), "\\"})) {
            std::cerr << destinationPathTooLongLine("удаления каталога", pass.settings.destDir + d.name + "\\")
                      << std::endl;
            ++pass.errorCount;
            return;
        }
        if (pass.listOnly())
            std::cout << "Удаление каталога \"" << dir << "\"" << std::endl;
        else if (!gate.removeTree(dir, true))
            return;  // whatever stays is reported and counted there
        ++pass.tally.deletedDirs;
        return;
    }
    for (const FileEntry& f : d.files) {
        if (pass.stopping()) return;
        deleteFileEntry(pass, gate, d, f);
    }
}

// True when the directory was created just now, and so holds nothing yet.
bool createMissingDirectory(Pass& pass, LogBlock& block, const DirRecord& d, const char* dstDir, bool fits) {
    if (!fits) {
        block.err(destinationPathTooLongLine("создания каталога", pass.settings.destDir + d.name + "\\"));
        block.count();
        return false;
    }
    block.out(std::string("Создание каталога \"") + dstDir + "\"");
    if (pass.listOnly()) return true;
    if (!CreateDirectoryA(dstDir, nullptr)) {
        DWORD code = GetLastError();
        block.err("Ошибка " + std::to_string(code) + " создания каталога \"" + dstDir + "\"");
        block.count();
        return false;
    }
    return true;
}

// One file of the copy list, on a copy thread: it sees the copy context and
// the worker's gate, never the run. srcDir and dstDir are empty when the
// directory path did not fit. In a directory created in this pass (emptyDir)
// no file can be in the way. A list-only run writes the copy's line alone.
void copyEntry(const CopyScope& context, const WorkerGate& gate, LogBlock& block, const DirRecord& d,
               const FileEntry& f, bool emptyDir, bool listOnly, const std::string& srcDir, const std::string& dstDir) {
    const SettingsRecord& s = context.settings;
    char source[kSourceBuffer];
    if (srcDir.empty() || !win::joinText(source, {srcDir.c_str(), f.name})) {
        block.err(sourceTooLongLine(s.sourceDir + d.name + "\\" + f.name));
        block.count();
        return;
    }
    char destination[kPathBuffer];
    if (dstDir.empty() || !win::joinText(destination, {dstDir.c_str(), f.name})) {
        block.err(destinationTooLongLine(source));
        block.count();
        return;
    }
    if (gate.checkpoint()) return;  // no copy starts after a confirmed abort
    if (listOnly) {
        block.out(copiedLine(source, destination));
        block.countCopy();
        return;
    }
    copyInto(context, block, source, destination, f.attributes, f.lastWrite, !f.isNew && !emptyDir);
}

// Directories are created here, in list order, before any of their files is
// handed to the pool; the log keeps every line in list order.
void applyCopy(Pass& pass, OrderedLog& log, WorkPool& pool, const DirRecord& d) {
    if (pass.stopping()) return;
    const SettingsRecord& s = pass.settings;
    char srcDir[kSourceBuffer];
    char dstDir[kPathBuffer];
    win::joinText(srcDir, {s.sourceDir, d.name.c_str(), "\\"});
    bool dstFits = win::joinText(dstDir, {s.destDir, d.name.c_str(), "\\"});
    bool emptyDir = false;
    if ((d.flags & DirMissing) == DirMissing) {
        LogBlock block;
        std::size_t turn = log.take();
        emptyDir = createMissingDirectory(pass, block, d, dstDir, dstFits);
        if (emptyDir) ++pass.tally.createdDirs;
        log.finish(turn, std::move(block));
    }
    std::string from = srcDir, to = dstDir;
    const CopyScope context{pass.settings, pass.fs};
    const WorkerGate& gate = pass.gate();
    const bool listOnly = pass.listOnly();
    for (const FileEntry& f : d.files) {
        if (pass.stopping()) return;
        // The caption is shown from this thread alone, as the file is handed
        // over: the copy threads never deal with the window.
        if (pass.showsCaptions()) {
            pass.showCaption((std::string("Копирование ...\\") + f.name).c_str());
            if (pass.stopping()) return;  // the user may have aborted while the caption was shown
        }
        std::size_t turn = log.take();
        pool.run([context, &gate, &log, &d, &f, emptyDir, listOnly, from, to, turn] {
            LogBlock block;
            try {
                copyEntry(context, gate, block, d, f, emptyDir, listOnly, from, to);
            } catch (...) {
                log.finish(turn, LogBlock());  // stopped: the lines of copies done meanwhile still go out
                throw;
            }
            log.finish(turn, std::move(block));
        });
    }
}

}  // namespace

bool Pass::checkFreeSpace() {
    int64_t needed = totalSize(copyList) - deletedSize(settings, deleteList);
    // The whole destDir is asked for, even past MAX_PATH: a cut text would
    // name another directory.
    ULARGE_INTEGER available{};
    if (!fs.freeBytesAvailable(settings.destDir, &available)) return true;  // unknown: do not block
    uint64_t cap = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    int64_t free = static_cast<int64_t>(available.QuadPart > cap ? cap : available.QuadPart);
    if (free >= needed) return true;

    std::string text =
        std::string("Не хватает свободного места в папке\" ") + settings.destDir + " \", освободите и попробуйте снова";
    showMessage(nullptr, text.c_str(), "tolvaren", MB_ICONERROR);
    return false;
}

void Pass::applyWorkLists() {
    DeletionGate gate = deletionGate();
    for (const DirRecord& d : deleteList) applyDeletion(*this, gate, d);

    std::size_t files = 0;
    for (const DirRecord& d : copyList) files += d.files.size();
    OrderedLog log(errorCount, tally.copied);
    std::size_t threads = listOnly()                           ? 1  // lines only: no thread gains anything
                          : copyThreads()                      ? copyThreads()
                          : onNetworkDrive(settings.sourceDir) ? WorkPool::kShareThreads
                                                               : 1;
    WorkPool pool(std::min(threads, files));  // no more threads than files
    for (const DirRecord& d : copyList) applyCopy(*this, log, pool, d);
    pool.finish();
}  // the pool has run every copy, and the log written every line, before the pairs
