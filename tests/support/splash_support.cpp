#include "support/splash_support.h"

#include <zlib.h>

#include <stdexcept>

namespace splash_test {

namespace {

void put16(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, unsigned long v) {
    put16(s, v & 0xFFFF);
    put16(s, (v >> 16) & 0xFFFF);
}

}  // namespace

std::string writeSplashIni(const test::TempDir& dir, const std::string& sourceDir, const char* setting) {
    std::string text = "[Основные параметры]\r\nКаталогИсточник=" + sourceDir + "\r\n";
    if (setting) text += "[Оформление]\r\nФоноваяКартинка=" + std::string(setting) + "\r\n";
    std::string path = dir / "tolvaren.ini";
    test::writeFile(path, text);
    return path;
}

std::vector<COLORREF> stripColumns() {
    HBITMAP strip = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101));
    BITMAP info{};
    GetObjectA(strip, sizeof info, &info);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<unsigned char> quads(static_cast<std::size_t>(info.bmWidth) * info.bmHeight * 4);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, strip, 0, info.bmHeight, quads.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(strip);
    std::vector<COLORREF> row(info.bmWidth);
    for (int x = 0; x < info.bmWidth; ++x) row[x] = RGB(quads[x * 4 + 2], quads[x * 4 + 1], quads[x * 4]);
    return row;
}

std::string bmpFile(int width, int height, const PixelFunction& pixel) {
    int stride = (width * 3 + 3) & ~3;
    std::string image;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            COLORREF c = pixel(x, y);
            image += static_cast<char>(GetBValue(c));
            image += static_cast<char>(GetGValue(c));
            image += static_cast<char>(GetRValue(c));
        }
        image.append(stride - width * 3, '\0');
    }
    std::string bmp = "BM";
    put32(bmp, 14 + 40 + image.size());
    put32(bmp, 0);
    put32(bmp, 14 + 40);
    put32(bmp, 40);
    put32(bmp, width);
    put32(bmp, height);
    put16(bmp, 1);
    put16(bmp, 24);
    put32(bmp, 0);
    put32(bmp, image.size());
    put32(bmp, 3780);  // 96 dpi
    put32(bmp, 3780);
    put32(bmp, 0);
    put32(bmp, 0);
    return bmp + image;
}

// A GIF of one colour, encoded without real compression: a clear code before
// every two pixels keeps the LZW codes 3 bits wide.
std::string gifFile(int width, int height, COLORREF colour) {
    std::string gif = "GIF89a";
    put16(gif, width);
    put16(gif, height);
    gif += static_cast<char>(0x81);  // global table of 4 colours
    gif += '\0';
    gif += '\0';
    const unsigned char table[12] = {
        GetRValue(colour), GetGValue(colour), GetBValue(colour), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    gif.append(reinterpret_cast<const char*>(table), sizeof table);
    gif += ',';
    put16(gif, 0);
    put16(gif, 0);
    put16(gif, width);
    put16(gif, height);
    gif += '\0';
    gif += static_cast<char>(2);  // minimum code size

    std::string data;
    unsigned long bits = 0;
    int count = 0;
    auto code = [&](unsigned c) {
        bits |= static_cast<unsigned long>(c) << count;
        count += 3;
        while (count >= 8) {
            data += static_cast<char>(bits & 0xFF);
            bits >>= 8;
            count -= 8;
        }
    };
    long pixels = static_cast<long>(width) * height;
    for (long i = 0; i < pixels; ++i) {
        if (i % 2 == 0) code(4);  // clear
        code(0);
    }
    code(5);  // end of information
    if (count) data += static_cast<char>(bits & 0xFF);
    for (std::size_t at = 0; at < data.size(); at += 255) {
        std::string block = data.substr(at, 255);
        gif += static_cast<char>(block.size());
        gif += block;
    }
    gif += '\0';
    gif += ';';
    return gif;
}

void writeModuleWithBitmap(const std::string& path, WORD id, const std::string& bmp) {
    if (!CopyFileA(test::buildFile("tolvaren.exe").c_str(), path.c_str(), FALSE))
        throw std::runtime_error("cannot copy tolvaren.exe to " + path);
    HANDLE update = BeginUpdateResourceA(path.c_str(), TRUE);
    if (!update) throw std::runtime_error("cannot update resources of " + path);
    std::string dib = bmp.substr(14);  // a bitmap resource is the file without its header
    UpdateResourceA(update, RT_BITMAP, MAKEINTRESOURCEA(id), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), &dib[0],
                    static_cast<DWORD>(dib.size()));
    if (!EndUpdateResourceA(update, FALSE)) throw std::runtime_error("cannot write resources of " + path);
}

std::string zipFile(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string body, directory;
    for (const auto& entry : entries) {
        const std::string& name = entry.first;
        const std::string& data = entry.second;
        unsigned long crc = crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
        unsigned long offset = body.size();
        body += "PK\x03\x04";
        put16(body, 10);  // version needed
        put16(body, 0);   // flags
        put16(body, 0);   // stored
        put32(body, 0);   // time and date
        put32(body, crc);
        put32(body, data.size());
        put32(body, data.size());
        put16(body, name.size());
        put16(body, 0);
        body += name + data;

        directory += "PK\x01\x02";
        put16(directory, 20);
        put16(directory, 10);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, crc);
        put32(directory, data.size());
        put32(directory, data.size());
        put16(directory, name.size());
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, offset);
        directory += name;
    }
    std::string end = "PK\x05\x06";
    put16(end, 0);
    put16(end, 0);
    put16(end, entries.size());
    put16(end, entries.size());
    put32(end, directory.size());
    put32(end, body.size());
    put16(end, 0);
    return body + directory + end;
}

}  // namespace splash_test
