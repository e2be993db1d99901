// Test material for the splash window: INI files naming a picture, modules
// carrying a bitmap resource, images and stored zip archives made in memory.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace splash_test {

// dir\tolvaren.ini with КаталогИсточник = sourceDir and, unless setting is
// null, ФоноваяКартинка = setting; returns its path.
std::string writeSplashIni(const test::TempDir& dir, const std::string& sourceDir, const char* setting);

// The 1228 columns of the first row of this program's strip bitmap (101).
std::vector<COLORREF> stripColumns();

using PixelFunction = std::function<COLORREF(int x, int y)>;
std::string bmpFile(int width, int height, const PixelFunction& pixel);  // 24-bit, bottom-up
std::string gifFile(int width, int height, COLORREF colour);             // one colour

// A copy of tolvaren.exe at path whose only resource is the bitmap id.
void writeModuleWithBitmap(const std::string& path, WORD id, const std::string& bmp);

// A zip archive of stored (uncompressed) entries, in the order given.
std::string zipFile(const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace splash_test
