#pragma once
// A file descriptor closed once, at the end of its scope, unless closed before.
#include <unistd.h>

namespace platform {

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    // Closes now; close reports late write errors (NFS, quotas), so it is checked.
    int close() {
        const int f = fd;
        fd = -1;
        return ::close(f);
    }
};

}  // namespace platform
