#include "markup/BitmapFiles.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

template <class T> T ReadLittleEndian(const unsigned char* bytes)
{
    T value = 0;
    for (size_t i = sizeof(T); i-- > 0;)
        value = static_cast<T>((value << 8) | bytes[i]);
    return value;
}

} // namespace

bool BitmapFileIsSound(const std::string& path)
{
    // The platform believes the size a bitmap file states and allocates for it before it reads the
    // pixels, so the size is judged here first.
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    unsigned char header[34] = {};
    const size_t read = std::fread(header, 1, sizeof header, file.get());
    if (read < 26 || header[0] != 'B' || header[1] != 'M' || std::fseek(file.get(), 0, SEEK_END) != 0)
        return false;
    const long long fileSize = std::ftell(file.get());
    const unsigned long offset = ReadLittleEndian<uint32_t>(header + 10);
    const unsigned long infoSize = ReadLittleEndian<uint32_t>(header + 14);
    long long width = 0, height = 0, bits = 0;
    uint32_t compression = BI_RGB;
    if (infoSize == sizeof(BITMAPCOREHEADER)) {
        width = ReadLittleEndian<uint16_t>(header + 18);
        height = ReadLittleEndian<uint16_t>(header + 20);
        bits = ReadLittleEndian<uint16_t>(header + 24);
    } else if (infoSize >= sizeof(BITMAPINFOHEADER) && read == sizeof header) {
        width = static_cast<int32_t>(ReadLittleEndian<uint32_t>(header + 18));
        height = std::llabs(static_cast<int32_t>(ReadLittleEndian<uint32_t>(header + 22)));
        bits = ReadLittleEndian<uint16_t>(header + 28);
        compression = ReadLittleEndian<uint32_t>(header + 30);
    } else {
        return false;
    }
    if (width <= 0 || height <= 0 || width * height > kMaxImagePixels || bits <= 0 || bits > 32)
        return false;
    if (static_cast<long long>(offset) >= fileSize)
        return false;
    // Compressed pixels say nothing about their length; plain ones must all be there.
    if (compression != BI_RGB && compression != BI_BITFIELDS)
        return compression == BI_RLE8 || compression == BI_RLE4;
    const long long stride = ((width * bits + 31) / 32) * 4;
    return static_cast<long long>(offset) + stride * height <= fileSize;
}

gdi::Bitmap LoadBitmapFile(const std::string& path)
{
    if (!BitmapFileIsSound(path))
        return gdi::Bitmap();
    return gdi::Bitmap(static_cast<HBITMAP>(
        ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
}

gdi::Bitmap LoadBitmapResource(HMODULE hModule, int id)
{
    if (!hModule || id <= 0 || id > 0xFFFF)
        return gdi::Bitmap();
    return gdi::Bitmap(
        static_cast<HBITMAP>(::LoadImageA(hModule, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}
