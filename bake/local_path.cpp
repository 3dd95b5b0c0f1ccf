#include "bake/local_path.h"

#include <algorithm>

boost::filesystem::path LocalPath(const std::string& hostPath) {
#ifdef _WIN32
    return boost::filesystem::path(hostPath);
#else
    std::string path = hostPath;
    std::replace(path.begin(), path.end(), '\\', '/');
    return boost::filesystem::path(path);
#endif
}
