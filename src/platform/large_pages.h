#pragma once
// Big pictures in large memory pages.
//
// A 6000 x 4000 picture is 72 MB. In 4 KiB pages every new picture of that
// size takes some 18,000 page faults before its first pixel is written, which
// on a virtual machine whose memory is backed lazily costs 250 to 350 ms each
// time (measured: a fresh 72 MB memset 280 ms in 4 KiB pages, 10 ms in 2 MiB
// pages), more than the edit itself. The C library can ask the kernel for
// large pages for what it allocates, but only when told so at the start of
// the process; the kernel gives them only to memory that asks for them when
// the system is set up that way ("madvise", Debian's default).
#include <string>

namespace platform {

// What the process should do about it, from the kernel's large-page mode
// (the text of /sys/kernel/mm/transparent_hugepage/enabled, e.g.
// "always [madvise] never"), the C library's version ("2.36") and the
// GLIBC_TUNABLES variable as it stands (nullptr: not set). Returns the value
// GLIBC_TUNABLES should have for a restart, or an empty string when no restart
// is wanted: large pages already come by themselves or not at all, the C
// library cannot ask for them, or the variable already says something about it.
std::string largePageTunables(const std::string& kernelMode, const std::string& libcVersion, const char* tunables);

// Called first thing in main(): when largePageTunables asks for it, starts the
// same program again in the same process with the variable set (the program's
// arguments, environment and descriptors stay). Returns only when no restart
// was wanted or it failed, and the program then runs as it would have.
// A restart costs the loading of the program once more (about 35 ms for the
// batch tool); with restart false the variable is only set, for the programs
// this one starts.
void restartWithLargePages(char** argv, bool restart = true);

}  // namespace platform
