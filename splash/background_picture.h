// The splash window's background: a bitmap resource of a module or the
// first image of a splash archive, located from the "ФоноваяКартинка" setting.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <string>

#include "win/unique_handle.h"

struct BackgroundPicture {
    // The OLE DLLs stay loaded while the stream and the picture live.
    win::UniqueModule ole32, oleaut32;
    win::ComPtr<IStream> stream;    // the extracted image file, when from an archive
    win::ComPtr<IPicture> picture;  // loaded from stream
    win::UniqueBitmap bitmap;       // the module's bitmap, later the composed background
    BITMAP size{};                  // bmWidth x bmHeight: the picture size in pixels
    win::UniqueMemoryDC memoryDc;   // holds bitmap once composed; released before it
};

// Fills picture with what the setting names; every failure just means no
// picture from that source, and the size falls back to 420 x 400.
void loadBackgroundPicture(const char* iniPath, const char* setting, BackgroundPicture& picture);

// A name as a full path: drive-absolute names unchanged, others below the
// source directory of the INI file; empty when it cannot be formed.
std::string ResolveSourcePath(const char* name, const char* iniPath);

// The bitmap resource id of the module at path. The module is mapped as a
// data file and image resource only, so none of its code (nor of its
// imports) runs here.
win::UniqueBitmap loadModuleBitmap(const char* path, WORD id);

// The full path of the splash archive chosen in the source directory; empty
// when the directory is missing or holds none.
std::string findSplashArchive(const char* iniPath);

// Opens the archive, extracts its first image entry into picture.stream and
// loads picture.picture from it; false when any step fails.
bool loadArchivePicture(const char* path, BackgroundPicture& picture);
