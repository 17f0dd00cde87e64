// Pictures named by markup text: from a module's resources or from a file whose headers are checked
// before the platform is trusted with them.
#pragma once

#include "framework/Gdi.h"

#include <string>
#include <string_view>

// A picture larger than this many pixels (drawn, loaded or stored in a file) is left out: every effect
// makes several 32-bit copies of it, and no message needs a picture the size of a wall.
constexpr long long kMaxImagePixels = 4LL * 1024 * 1024;
// No path the platform opens is longer.
constexpr size_t kMaxPicturePath = 32767;

// Whether a text may name a picture file or module: a path on this machine, not a device ("con",
// "\\.\x") and not a share on another one ("\\server\share\x"), which a message must not make the
// program open, or wait for.
bool PictureSourceIsLocal(std::string_view path);

// Whether a file is a bitmap of a size the program is willing to make, whose headers, palette and
// pixels the file holds.
bool BitmapFileIsSound(const std::string& path);
// Whether a file is an icon file whose directory and images the file holds, each of a sound size.
bool IconFileIsSound(const std::string& path);
// Null when the path is not local, the file is not sound or does not load.
gdi::Bitmap LoadBitmapFile(const std::string& path);
// Null when the path is not local, the file is not sound or does not load; size as LoadImage takes it.
gdi::Icon LoadIconFile(const std::string& path, SIZE load);
// Null without a module, for an id that is no resource id, or when the module has no such bitmap.
gdi::Bitmap LoadBitmapResource(HMODULE hModule, int id);
