// The rules that pick the splash window's background picture, on plain data:
// the setting's "file#id" split, extensions, the choice among splash
// archives and among archive entries, and HIMETRIC sizes in pixels.
#pragma once

#include <windows.h>
#include <list>
#include <string>
#include <vector>

constexpr int kPictureBuffer = 1024;
constexpr int kDefaultPictureWidth = 420;
constexpr int kDefaultPictureHeight = 400;

struct PictureSetting {
    char file[kPictureBuffer] = "";
    WORD id = 101;       // the resource id, only meaningful with hasId
    bool hasId = false;  // the value contained a '#'
};

// Splits at the last '#'; the id is atoi of the rest, taken as 16 bits.
PictureSetting splitPictureSetting(const char* value);

// The text after the last '.', upper-cased in Windows-1251; empty without '.'.
std::string UpperExtension(const char* name);

bool isSplashArchiveName(const char* name);

// The source directory joined with a name: '\' between them unless the
// directory already ends with one; empty when the directory is empty or the
// result would not fit the 1024-byte buffer.
std::string joinSourcePath(const char* directory, const char* name);

// Index of the chosen splash archive among file names in listing order, or
// -1: the first candidate, replaced only by a later one whose first byte,
// as a signed char, is greater.
int chooseSplashArchive(const std::vector<std::string>& fileNames);

// The first entry whose extension is JPG, BMP, DIB, EMF, GIF or WMF; null
// when there is none.
const std::string* firstImageEntry(const std::list<std::string>& names);

// HIMETRIC (0.01 mm) to pixels at the given densities, rounded by MulDiv.
SIZE himetricToPixels(long width, long height, int dpiX, int dpiY);

// Widths and heights of 0 or less become 420 and 400, each on its own.
SIZE withDefaultSize(SIZE size);
