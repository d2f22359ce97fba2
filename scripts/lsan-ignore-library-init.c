/* Linked into every executable of the sanitizer build (scripts/sanitize.sh) and nowhere else.
 *
 * GLib's constructor allocates the first block of its quark table (2048 pointers, 16 KiB);
 * when the table grows, the old block is dropped on purpose ("This leaks the old quarks
 * array", gquark.c) so that lookups need no lock. Its allocation stack stops inside GLib,
 * which has no frame pointers, so no suppression pattern can tell it from a leak of the
 * program's own GLib allocations. Instead, the blocks of that size allocated before the
 * executable's own constructors run - by shared libraries' constructors, where the program's
 * code never runs - are ignored by address. */
#include <sanitizer/lsan_interface.h>
#include <stddef.h>

enum { kQuarkBlockBytes = 2048 * sizeof(void*), kMaxBlocks = 16 };

static const volatile void* g_blocks[kMaxBlocks];
static int g_blockCount;
static int g_executableStarted;

void __sanitizer_malloc_hook(const volatile void* ptr, size_t size) {
    if (!g_executableStarted && size == kQuarkBlockBytes && g_blockCount < kMaxBlocks)
        g_blocks[g_blockCount++] = ptr;
}

/* The executable's constructors run after those of every library it loads at start. */
__attribute__((constructor)) static void IgnoreLibraryInitBlocks(void) {
    g_executableStarted = 1;
    for (int i = 0; i < g_blockCount; ++i)
        __lsan_ignore_object((const void*)g_blocks[i]);
}
