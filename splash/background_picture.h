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
    long streamBytes = 0;           // its length
    win::ComPtr<IPicture> picture;  // loaded from stream
    win::UniqueBitmap bitmap;       // the module's bitmap, later the composed background
    BITMAP size{};                  // bmWidth x bmHeight: the picture size in pixels
    win::UniqueMemoryDC memoryDc;   // holds bitmap once composed; released before it
};

// The picture is made in two steps, so that only the first can be held up
// by the source directory (a share). Every failure just means no picture
// from that source.
// 1. Every file request: locates what the setting names and reads it, up to
//    the module's bitmap (with its size) or the archive's first image entry
//    in picture.stream.
void findBackgroundPicture(const char* iniPath, const char* setting, BackgroundPicture& picture);
// 2. No file request: the picture made from the extracted image, if any, and
//    the size, which falls back to 420 x 400.
void finishBackgroundPicture(BackgroundPicture& picture);

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

// Opens the archive and extracts its first image entry into picture.stream;
// false when any step fails.
bool extractArchiveImage(const char* path, BackgroundPicture& picture);

// Loads picture.picture from picture.stream; false (and no stream) when the
// image cannot be loaded.
bool loadArchiveImage(BackgroundPicture& picture);
