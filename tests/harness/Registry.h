// Default values of registry keys, for tests that point the shell at programs of their own.
#pragma once

#include "framework/Platform.h"

#include <optional>
#include <string>

// Creates the key when needed; false when it cannot be written.
bool SetDefaultValue(HKEY root, const std::string& key, const std::string& value);
// The key's default text, or nothing when the key or its value is missing.
std::optional<std::string> GetDefaultValue(HKEY root, const std::string& key);
