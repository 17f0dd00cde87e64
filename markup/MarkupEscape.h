// A user's file name shown inside markup: its characters are text, never tags or entities.
#pragma once

#include <string>
#include <string_view>

// The name in the ANSI code page (a character it lacks shows as "?", never as a look-alike), with
// "<" doubled and every "&" that would start an entity kept apart from the entity's name by an
// empty tag, which the renderer ignores. Control characters show as "?".
std::string MarkupEscapedName(const std::wstring& name);
// The same for a text already in the ANSI code page.
std::string MarkupEscapedText(std::string_view text);
