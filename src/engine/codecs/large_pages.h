#pragma once
// Fresh multi-megabyte buffers cost one page fault per 4 KiB on first touch,
// which for a 24-megapixel picture takes longer than copying the pixels.
// Asking the kernel for transparent huge pages on such a buffer cuts the
// faults by 512; elsewhere (or when the kernel says no) nothing changes.
#include <QtGlobal>

#ifdef __linux__
#include <sys/mman.h>
#include <cstdint>
#endif

namespace engine::codecs {

inline void preferLargePages(void* data, qint64 size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kPage = 4096;
    constexpr qint64 kWorthIt = qint64(4) << 20;
    if (size < kWorthIt)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + std::uintptr_t(size)) & ~(kPage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

}  // namespace engine::codecs
