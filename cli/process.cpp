#include "cli/process.h"

#include <malloc.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace tirelle::cli {

namespace {

// Room made for the heap at the start: enough for a file of some 300,000 subtitles without
// growing it again. Only the pages touched become memory in use.
constexpr std::size_t kHeapReserve = std::size_t{256} << 20;

void PrepareHeap() {
    // Freed memory stays in the heap instead of going back to the system and being mapped
    // again, and large buffers come from the heap too, so that they share its large pages.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_TOP_PAD, static_cast<int>(kHeapReserve));
    // One allocation larger than what is left makes the heap grow by the reserve at once;
    // that range is then marked for transparent huge pages, which cuts the page faults of a
    // long file (tens of thousands, a third of the process's time on a virtual machine) to a
    // few hundred. Where the kernel does not do huge pages the advice is ignored.
    const auto before = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    // Volatile, so that the compiler keeps an allocation whose memory is never used.
    void* volatile grow = std::malloc(std::size_t{1} << 20);
    const auto after = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = (before + page - 1) / page * page;
    if (after > start) ::madvise(reinterpret_cast<void*>(start), after - start, MADV_HUGEPAGE);
    std::free(grow);
}

}  // namespace

void PrepareProcess() {
    PrepareHeap();
    // Before the engine is first used; when it refuses (already started), it keeps its
    // defaults, which are only slower.
    sqlite3_config(SQLITE_CONFIG_SINGLETHREAD);
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

}  // namespace tirelle::cli
