#include "splash/background_picture.h"

#include <cstring>
#include <memory>
#include <vector>

#include "archive/unzip_file.h"
#include "win/late_bound.h"
#include "splash/picture_rules.h"
#include "win/fixed_text.h"

#ifndef LOAD_LIBRARY_AS_IMAGE_RESOURCE
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020
#endif

namespace {

const char kMainSection[] = "Основные параметры";
const char kSourceKey[] = "КаталогИсточник";

void readSourceDirectory(const char* iniPath, char (&directory)[kPictureBuffer]) {
    char current[kPictureBuffer] = "";
    DWORD n = GetCurrentDirectoryA(sizeof current, current);
    if (n == 0 || n >= sizeof current) current[0] = '\0';
    GetPrivateProfileStringA(kMainSection, kSourceKey, current, directory, sizeof directory, iniPath);
}

inline void releaseScreenDc(HDC dc) { ReleaseDC(nullptr, dc); }
using UniqueScreenDc = win::UniqueHandle<HDC, &releaseScreenDc>;

void measurePicture(BackgroundPicture& picture) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture.picture->get_Width(&width);
    picture.picture->get_Height(&height);
    UniqueScreenDc screen(GetWindowDC(nullptr));
    int dpiX = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
    int dpiY = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    SIZE pixels = himetricToPixels(width, height, dpiX, dpiY);
    picture.size.bmWidth = pixels.cx;
    picture.size.bmHeight = pixels.cy;
}

}  // namespace

std::string ResolveSourcePath(const char* name, const char* iniPath) {
    if (!name[0]) return std::string();
    if (win::isDriveAbsolute(name)) return name;
    char directory[kPictureBuffer];
    readSourceDirectory(iniPath, directory);
    return joinSourcePath(directory, name);
}

win::UniqueBitmap loadModuleBitmap(const char* path, WORD id) {
    win::UniqueModule module(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module)  // systems before Vista know only the plain data-file mapping
        module.reset(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module || id == 0) return win::UniqueBitmap();
    return win::UniqueBitmap(LoadBitmapA(module.get(), MAKEINTRESOURCEA(id)));
}

std::string findSplashArchive(const char* iniPath) {
    char directory[kPictureBuffer];
    readSourceDirectory(iniPath, directory);
    if (GetFileAttributesA(directory) == INVALID_FILE_ATTRIBUTES) return std::string();
    std::size_t n = std::strlen(directory);
    char pattern[kPictureBuffer];
    // Only the archives' names are asked for, so a large or remote root is
    // not listed whole. The file system's match may differ from ours at the
    // edges (8.3 names, its own case folding), so chooseSplashArchive still
    // applies the exact rule; what the pattern lets through keeps its listing
    // order, and every name with the extension SPLASH matches the pattern.
    const char* tail = n && directory[n - 1] == '\\' ? "*.splash" : "\\*.splash";
    if (!win::joinText(pattern, {directory, tail})) return std::string();

    std::vector<std::string> files;
    WIN32_FIND_DATAA data;
    win::UniqueFind find(FindFirstFileA(pattern, &data));
    if (!find) return std::string();
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(data.cFileName);
    } while (FindNextFileA(find.get(), &data));
    int chosen = chooseSplashArchive(files);
    return chosen < 0 ? std::string() : ResolveSourcePath(files[chosen].c_str(), iniPath);
}

bool extractArchiveImage(const char* path, BackgroundPicture& picture) {
    auto archive = std::make_unique<UnZipFile>();
    if (!archive->Open(path)) return false;
    const std::string* entry = firstImageEntry(archive->names);
    if (!entry) return false;
    win::LateBound<decltype(CreateStreamOnHGlobal)> createStream("ole32.dll", "CreateStreamOnHGlobal");
    if (!createStream) return false;
    picture.ole32 = std::move(createStream.module);
    if (FAILED(createStream.call(nullptr, TRUE, picture.stream.put()))) return false;
    long count = 0;
    if (archive->Extract(entry->c_str(), picture.stream.get(), &count)) {
        picture.streamBytes = count;
        return true;
    }
    picture.stream.reset();
    return false;
}

bool loadArchiveImage(BackgroundPicture& picture) {
    if (!picture.stream) return false;
    win::LateBound<decltype(OleLoadPicture)> loadPicture("oleaut32.dll", "OleLoadPicture");
    if (loadPicture) {
        picture.oleaut32 = std::move(loadPicture.module);
        if (SUCCEEDED(loadPicture.call(picture.stream.get(), picture.streamBytes, FALSE, IID_IPicture,
                                       reinterpret_cast<void**>(picture.picture.put()))) &&
            picture.picture)
            return true;
    }
    picture.picture.reset();  // E_NOINTERFACE or any other failure: no picture
    picture.stream.reset();
    return false;
}

void findBackgroundPicture(const char* iniPath, const char* setting, BackgroundPicture& picture) {
    PictureSetting parts = splitPictureSetting(setting);
    std::string path = ResolveSourcePath(parts.file, iniPath);
    bool namesArchive = isSplashArchiveName(parts.file);

    if (parts.hasId && !path.empty()) {
        picture.bitmap = loadModuleBitmap(path.c_str(), parts.id);
        if (picture.bitmap) GetObjectA(picture.bitmap.get(), sizeof picture.size, &picture.size);
    }
    bool searched = false;
    if (!picture.bitmap && !namesArchive) {
        path = findSplashArchive(iniPath);
        searched = true;
    }
    if ((namesArchive || searched) && !path.empty()) extractArchiveImage(path.c_str(), picture);
}

void finishBackgroundPicture(BackgroundPicture& picture) {
    if (loadArchiveImage(picture)) measurePicture(picture);
    SIZE size = withDefaultSize(SIZE{picture.size.bmWidth, picture.size.bmHeight});
    picture.size.bmWidth = size.cx;
    picture.size.bmHeight = size.cy;
}
