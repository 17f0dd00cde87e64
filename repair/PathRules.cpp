#include "PathRules.h"

bool SplitPath(const std::string& path, std::string& folder, std::string& name)
{
    size_t pos = path.rfind('\\');
    if (pos == std::string::npos)
        return false;
    folder = path.substr(0, pos);
    name = path.substr(pos + 1);
    return true;
}
