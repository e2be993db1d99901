#include "splash/picture_rules.h"

#include <cstdlib>
#include <cstring>

#include "core/text1251.h"
#include "win/fixed_text.h"

PictureSetting splitPictureSetting(const char* value) {
    PictureSetting setting;
    win::copyTextCut(setting.file, value);
    if (char* hash = std::strrchr(setting.file, '#')) {
        *hash = '\0';
        setting.id = static_cast<WORD>(std::atoi(hash + 1));
        setting.hasId = true;
    }
    return setting;
}

std::string UpperExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    std::string ext;
    if (!dot) return ext;
    for (const char* p = dot + 1; *p; ++p) ext += static_cast<char>(toUpper1251(static_cast<unsigned char>(*p)));
    return ext;
}

bool isSplashArchiveName(const char* name) { return UpperExtension(name) == "SPLASH"; }

std::string joinSourcePath(const char* directory, const char* name) {
    std::size_t n = std::strlen(directory);
    if (n == 0) return std::string();
    const char* separator = directory[n - 1] == '\\' ? "" : "\\";
    char joined[kPictureBuffer];
    if (!win::joinText(joined, {directory, separator, name})) return std::string();
    return joined;
}

int chooseSplashArchive(const std::vector<std::string>& fileNames) {
    int chosen = -1;
    for (int i = 0; i < static_cast<int>(fileNames.size()); ++i) {
        const std::string& name = fileNames[i];
        if (!isSplashArchiveName(name.c_str())) continue;
        if (chosen < 0 || static_cast<signed char>(name[0]) > static_cast<signed char>(fileNames[chosen][0]))
            chosen = i;
    }
    return chosen;
}

const std::string* firstImageEntry(const std::list<std::string>& names) {
    static const char* const kImageExtensions[] = {"JPG", "BMP", "DIB", "EMF", "GIF", "WMF"};
    for (const std::string& name : names) {
        if (name.find('.') == std::string::npos) continue;
        std::string ext = UpperExtension(name.c_str());
        for (const char* image : kImageExtensions)
            if (ext == image) return &name;
    }
    return nullptr;
}

SIZE himetricToPixels(long width, long height, int dpiX, int dpiY) {
    return SIZE{MulDiv(width, dpiX, 2540), MulDiv(height, dpiY, 2540)};
}

SIZE withDefaultSize(SIZE size) {
    if (size.cx <= 0) size.cx = kDefaultPictureWidth;
    if (size.cy <= 0) size.cy = kDefaultPictureHeight;
    return size;
}
