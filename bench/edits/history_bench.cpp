// The undo history's cost: the heap it holds with every step taken (the
// bound of undo steps, then as many again undone into the redo list), and
// the time one recorded change takes. Exits 1 when the history holds more
// than 16 KiB ("a few kilobytes").
//
//   cmake --build build --target edits_history_bench && build/bench/edits/edits_history_bench
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "editor/EditHistory.h"

namespace {
size_t liveBytes = 0;
}

// Counts the heap this program holds: each block carries its size before it.
void* operator new(size_t size) {
    void* block = std::malloc(size + sizeof(std::max_align_t));
    if (!block) throw std::bad_alloc();
    *static_cast<size_t*>(block) = size;
    liveBytes += size;
    return static_cast<char*>(block) + sizeof(std::max_align_t);
}
void operator delete(void* p) noexcept {
    if (!p) return;
    void* block = static_cast<char*>(p) - sizeof(std::max_align_t);
    liveBytes -= *static_cast<size_t*>(block);
    std::free(block);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

int main() {
    using edits::DashboardState;
    auto state = [](unsigned n) {
        uint8_t record[12] = {0x21, 3, 23, 31, 31, 200, 200, 0, 100, 125, 50, 50};
        record[5] = static_cast<uint8_t>(n);
        record[6] = static_cast<uint8_t>(n >> 8);
        return DashboardState::of(record, "Untitled    ");
    };

    const size_t before = liveBytes;
    size_t held = 0;
    {
        edits::EditHistory history;
        history.start(state(0));
        for (unsigned i = 1; i <= 2 * history.limit(); ++i) history.record(state(i));
        while (history.undo()) {}                   // every step now waits in the redo list
        held = liveBytes - before;
        std::printf("full history: %zu steps of %zu bytes, heap %zu bytes\n", history.limit(),
                    sizeof(DashboardState), held);
    }

    edits::EditHistory history;
    history.start(state(0));
    const unsigned changes = 2000000;
    auto start = std::chrono::steady_clock::now();
    for (unsigned i = 1; i <= changes; ++i) history.record(state(i), i % 3 ? 7 : 0, i * 0.01);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("record: %.1f ns a change (%u changes, %zu steps kept)\n", seconds / changes * 1e9, changes,
                history.undoCount());
    return held <= 16 * 1024 ? 0 : 1;
}
