#include "platform/large_pages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>
#if defined(__GLIBC__)
#include <gnu/libc-version.h>
#endif

namespace platform {

namespace {

const char kTunable[] = "glibc.malloc.hugetlb";

// "2.36" -> 236; 0 when it cannot be read.
int versionNumber(const std::string& v) {
    int major = 0, minor = 0;
    if (std::sscanf(v.c_str(), "%d.%d", &major, &minor) != 2)
        return 0;
    return major * 100 + minor;
}

}  // namespace

std::string largePageTunables(const std::string& kernelMode, const std::string& libcVersion, const char* tunables) {
    // Only "[madvise]" needs asking; "[always]" gives them anyway, "[never]" not at all.
    if (kernelMode.find("[madvise]") == std::string::npos)
        return std::string();
    // The C library asks for them from 2.35 on.
    if (versionNumber(libcVersion) < 235)
        return std::string();
    const std::string now = tunables ? tunables : "";
    if (now.find(kTunable) != std::string::npos)
        return std::string();  // set already: by us before the restart, or by the user
    return now.empty() ? std::string(kTunable) + "=1" : now + ":" + kTunable + "=1";
}

void restartWithLargePages(char** argv, bool restart) {
#if defined(__linux__) && defined(__GLIBC__)
    std::ifstream modeFile("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string mode;
    std::getline(modeFile, mode);
    const std::string value = largePageTunables(mode, gnu_get_libc_version(), std::getenv("GLIBC_TUNABLES"));
    if (value.empty() || !argv || !argv[0])
        return;
    if (::setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0 || !restart)
        return;
    ::execv("/proc/self/exe", argv);
    // Could not start again: run as we are, and do not try again in children.
#else
    (void)argv;
    (void)restart;
#endif
}

}  // namespace platform
