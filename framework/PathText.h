// Which text is wide and which is not.
//
// A user's file and folder names are UTF-16 (std::wstring) everywhere they travel: the file dialog,
// the folder browser, both lists, the batch run, the naming rules and every file, shell, list-view
// and dialog call that carries one (the W functions). A name is never converted through the ANSI
// code page to reach a file: that code page lacks most of the world's characters and its best-fit
// mapping turns some into others (a full-width slash into a real one).
//
// The program's own texts (captions, messages, markup, help, the status texts) stay single-byte
// ANSI (const char*, std::string). They are widened where they go into a wide call, and a name is
// narrowed only to be shown inside the ANSI markup (see markup/MarkupEscape.h).
#pragma once

#include "Platform.h"

#include <string>

// The longest path the long form allows, in UTF-16 units, terminator included.
constexpr size_t kMaxLongPath = 32768;
// A plain path this long or longer takes the long form: CreateDirectory's limit (MAX_PATH less
// room for an 8.3 name), which also covers every other call's MAX_PATH.
constexpr size_t kPlainPathLimit = MAX_PATH - 12;

// The path as a file call takes it: a full path of kPlainPathLimit or more characters in the
// long form ("\\?\C:\..." or "\\?\UNC\server\share\..."), resolved first, since the long form is
// taken literally ("." and "..", doubled and forward slashes). Shorter paths, relative paths and
// paths already in a long or device form come back as they are. Apply it at the call, never to a
// path that is kept or shown.
std::wstring LongPathForm(const std::wstring& path);

// The program's own ANSI text for a wide call.
std::wstring WidenText(const char* text);
// A wide text in the ANSI code page, without best-fit: a character the code page lacks becomes
// "?", never a look-alike. Only to show a name where nothing but ANSI can be shown.
std::string NarrowForDisplay(const std::wstring& text);
// A wide text in UTF-8, which keeps every character: for files and pipes that others read.
std::string Utf8Text(const std::wstring& text);
