// Bitmaps named by markup text: from a module's resources or from a file whose headers are checked
// before the platform is trusted with them.
#pragma once

#include "framework/Gdi.h"

#include <string>

// A picture larger than this many pixels (drawn, loaded or stored in a file) is left out: every effect
// makes several 32-bit copies of it, and no message needs a picture the size of a wall.
constexpr long long kMaxImagePixels = 4LL * 1024 * 1024;

// Whether a file is a bitmap of a size the program is willing to make, whose pixels the file holds.
bool BitmapFileIsSound(const std::string& path);
// Null when the file is not sound or does not load.
gdi::Bitmap LoadBitmapFile(const std::string& path);
// Null without a module, for an id that is no resource id, or when the module has no such bitmap.
gdi::Bitmap LoadBitmapResource(HMODULE hModule, int id);
