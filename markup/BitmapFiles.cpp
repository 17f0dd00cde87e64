#include "markup/BitmapFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// A file read at offsets the file itself states, each read checked against its size.
class CheckedFile {
public:
    explicit CheckedFile(const std::string& path)
        : m_file(std::fopen(path.c_str(), "rb"))
    {
        if (m_file && _fseeki64(m_file.get(), 0, SEEK_END) == 0)
            m_nSize = _ftelli64(m_file.get());
    }
    explicit operator bool() const { return m_file && m_nSize >= 0; }
    long long Size() const { return m_nSize; }
    // Whether the bytes from offset on are all in the file, and were read.
    bool Read(long long offset, void* buffer, size_t count)
    {
        if (!*this || offset < 0 || offset > m_nSize || static_cast<long long>(count) > m_nSize - offset)
            return false;
        return _fseeki64(m_file.get(), offset, SEEK_SET) == 0 && std::fread(buffer, 1, count, m_file.get()) == count;
    }

private:
    std::unique_ptr<std::FILE, FileCloser> m_file;
    long long m_nSize = -1;
};

template <class T> T ReadLittleEndian(const unsigned char* bytes)
{
    T value = 0;
    for (size_t i = sizeof(T); i-- > 0;)
        value = static_cast<T>((value << 8) | bytes[i]);
    return value;
}

uint32_t ReadBigEndian32(const unsigned char* bytes)
{
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16
        | static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

bool IsPixelDepth(long long bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool FitsPixelLimit(long long width, long long height)
{
    return width > 0 && height > 0 && width * height <= kMaxImagePixels;
}

long long RowBytes(long long width, long long bits)
{
    return (width * bits + 31) / 32 * 4;
}

// Palette entries a header asks for: all of a small depth's colours unless it names fewer, and for the
// larger depths only the optional few it names. -1 when it names more than the depth can have.
long long PaletteEntries(long long bits, long long used)
{
    const long long most = bits <= 8 ? 1LL << bits : 256;
    if (used > most)
        return -1;
    return bits <= 8 && used == 0 ? most : used;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '.';
}

// The reserved names of devices, which the platform opens as the device in any folder.
bool IsDeviceName(std::string_view name)
{
    while (!name.empty() && IsBlank(name.back()))
        name.remove_suffix(1);
    std::string upper;
    for (char c : name)
        upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    for (const char* device : { "CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$" })
        if (upper == device)
            return true;
    if (upper.size() != 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0))
        return false;
    // The superscript digits one, two and three count as digits here.
    const char digit = upper[3];
    return (digit >= '1' && digit <= '9') || digit == '\xB9' || digit == '\xB2' || digit == '\xB3';
}

bool StartsWithTwoSlashes(std::string_view path)
{
    const auto slash = [](char c) { return c == '\\' || c == '/'; };
    return path.size() >= 2 && slash(path[0]) && slash(path[1]);
}

} // namespace

bool PictureSourceIsLocal(std::string_view path)
{
    if (path.empty() || path.size() > kMaxPicturePath || path.find('\0') != std::string_view::npos)
        return false;
    // "\\server\share", and the device and long-path forms "\\.\x" and "\\?\x".
    if (StartsWithTwoSlashes(path))
        return false;
    std::string_view name = path;
    while (!name.empty() && (IsBlank(name.back()) || name.back() == ':'))
        name.remove_suffix(1);
    const size_t separator = name.find_last_of("\\/:");
    name = separator == std::string_view::npos ? name : name.substr(separator + 1);
    // "nul.bmp" is the device as much as "nul" is.
    if (IsDeviceName(name.substr(0, name.find('.'))))
        return false;
    // A relative name in a shared current folder is on the share too.
    const std::string given(path);
    const DWORD needed = ::GetFullPathNameA(given.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return false;
    std::string full(needed, '\0');
    const DWORD length = ::GetFullPathNameA(given.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return false;
    full.resize(length);
    return !StartsWithTwoSlashes(full);
}

bool BitmapFileIsSound(const std::string& path)
{
    // The platform believes the sizes a bitmap file states: it allocates for the pixels and reads the
    // header, the palette and the pixels where the file says they are. All of it is judged here first.
    CheckedFile file(path);
    unsigned char header[14 + 40] = {};
    if (!file || !file.Read(0, header, 14 + 12) || header[0] != 'B' || header[1] != 'M')
        return false;
    const long long fileSize = file.Size();
    const long long offset = ReadLittleEndian<uint32_t>(header + 10);
    const long long infoSize = ReadLittleEndian<uint32_t>(header + 14);
    long long width = 0, height = 0, planes = 0, bits = 0, used = 0, imageSize = 0, entryBytes = 4;
    uint32_t compression = BI_RGB;
    bool bTopDown = false;
    if (infoSize == sizeof(BITMAPCOREHEADER)) {
        width = ReadLittleEndian<uint16_t>(header + 18);
        height = ReadLittleEndian<uint16_t>(header + 20);
        planes = ReadLittleEndian<uint16_t>(header + 22);
        bits = ReadLittleEndian<uint16_t>(header + 24);
        entryBytes = 3;
    } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 108 || infoSize == 124) {
        if (!file.Read(0, header, sizeof header))
            return false;
        width = static_cast<int32_t>(ReadLittleEndian<uint32_t>(header + 18));
        const int32_t signedHeight = static_cast<int32_t>(ReadLittleEndian<uint32_t>(header + 22));
        bTopDown = signedHeight < 0;
        height = std::llabs(signedHeight);
        planes = ReadLittleEndian<uint16_t>(header + 26);
        bits = ReadLittleEndian<uint16_t>(header + 28);
        compression = ReadLittleEndian<uint32_t>(header + 30);
        imageSize = ReadLittleEndian<uint32_t>(header + 34);
        used = ReadLittleEndian<uint32_t>(header + 46);
    } else {
        return false;
    }
    if (planes != 1 || !IsPixelDepth(bits) || !FitsPixelLimit(width, height))
        return false;
    // The masks of a bit-field bitmap follow a plain info header; the larger headers hold them.
    long long masks = 0;
    switch (compression) {
    case BI_RGB:
        break;
    case BI_RLE8:
    case BI_RLE4:
        if (bits != (compression == BI_RLE8 ? 8 : 4) || bTopDown)
            return false;
        break;
    case BI_BITFIELDS:
        if (bits != 16 && bits != 32)
            return false;
        masks = infoSize == 40 ? 12 : 0;
        break;
    default:
        return false;
    }
    const long long entries = PaletteEntries(bits, used);
    if (entries < 0)
        return false;
    const long long paletteEnd = 14 + infoSize + masks + entries * entryBytes;
    if (paletteEnd > offset || offset >= fileSize)
        return false;
    // Compressed pixels state their length; plain ones must all be there.
    if (compression == BI_RLE8 || compression == BI_RLE4)
        return imageSize > 0 && offset + imageSize <= fileSize;
    return offset + RowBytes(width, bits) * height <= fileSize;
}

bool IconFileIsSound(const std::string& path)
{
    // The platform reads the directory, then each image where its entry says, believing the sizes in
    // the image's own header; every entry is judged, as any of them may be the one it picks.
    CheckedFile file(path);
    unsigned char head[6] = {};
    if (!file || !file.Read(0, head, sizeof head))
        return false;
    const long long count = ReadLittleEndian<uint16_t>(head + 4);
    if (ReadLittleEndian<uint16_t>(head) != 0 || ReadLittleEndian<uint16_t>(head + 2) != 1 || count == 0)
        return false;
    const long long directoryEnd = 6 + 16 * count;
    std::vector<unsigned char> directory(static_cast<size_t>(16 * count));
    if (!file.Read(6, directory.data(), directory.size()))
        return false;
    for (long long i = 0; i < count; ++i) {
        const unsigned char* entry = directory.data() + 16 * i;
        const long long bytes = ReadLittleEndian<uint32_t>(entry + 8);
        const long long offset = ReadLittleEndian<uint32_t>(entry + 12);
        unsigned char image[40] = {};
        if (offset < directoryEnd || bytes < 32 || offset + bytes > file.Size()
            || !file.Read(offset, image, std::min<long long>(bytes, sizeof image)))
            return false;
        // An image stored as PNG: the size is in its header chunk.
        static const unsigned char kPng[8] = { 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A };
        if (std::equal(kPng, kPng + 8, image)) {
            if (!FitsPixelLimit(ReadBigEndian32(image + 16), ReadBigEndian32(image + 20)))
                return false;
            continue;
        }
        const long long infoSize = ReadLittleEndian<uint32_t>(image);
        const long long width = static_cast<int32_t>(ReadLittleEndian<uint32_t>(image + 4));
        // The colour picture and its mask, one above the other.
        const long long height = static_cast<int32_t>(ReadLittleEndian<uint32_t>(image + 8)) / 2;
        const long long planes = ReadLittleEndian<uint16_t>(image + 12);
        const long long bits = ReadLittleEndian<uint16_t>(image + 14);
        const uint32_t compression = ReadLittleEndian<uint32_t>(image + 16);
        const long long entries = PaletteEntries(bits, ReadLittleEndian<uint32_t>(image + 32));
        if (infoSize < 40 || bytes < 40 || planes != 1 || !IsPixelDepth(bits) || compression != BI_RGB
            || !FitsPixelLimit(width, height) || entries < 0)
            return false;
        const long long needed = infoSize + entries * 4 + (RowBytes(width, bits) + RowBytes(width, 1)) * height;
        if (needed > bytes)
            return false;
    }
    return true;
}

gdi::Bitmap LoadBitmapFile(const std::string& path)
{
    if (!PictureSourceIsLocal(path) || !BitmapFileIsSound(path))
        return gdi::Bitmap();
    return gdi::Bitmap(static_cast<HBITMAP>(
        ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
}

gdi::Icon LoadIconFile(const std::string& path, SIZE load)
{
    if (!PictureSourceIsLocal(path) || !IconFileIsSound(path))
        return gdi::Icon();
    return gdi::Icon(
        static_cast<HICON>(::LoadImageA(nullptr, path.c_str(), IMAGE_ICON, load.cx, load.cy, LR_LOADFROMFILE)));
}

gdi::Bitmap LoadBitmapResource(HMODULE hModule, int id)
{
    if (!hModule || id <= 0 || id > 0xFFFF)
        return gdi::Bitmap();
    return gdi::Bitmap(
        static_cast<HBITMAP>(::LoadImageA(hModule, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}
