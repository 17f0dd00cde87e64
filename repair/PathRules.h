// Rules for paths and output names.
#pragma once

#include <string>

// Splits a full path at its last backslash: the folder before it, the name after it.
// Returns false and leaves both outputs alone when there is no backslash.
bool SplitPath(const std::string& path, std::string& folder, std::string& name);
