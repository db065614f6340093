#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

namespace bb {

// The memory of one unpacked document: its longer strings and its containers' items, taken from a
// few large blocks instead of one heap block each, and released all at once with the last value
// that still uses it. Values of the document refer to it without counting; a value that leaves
// the document (copied or moved out of it, once it is built) takes a counted reference, so it
// stays valid however long it is kept. Blocks are handed out only while the document is being
// built, by the thread building it; afterwards the arena only notes that a container grew onto
// the heap, so values of one document may live on several threads.
class BBArena {
public:
    // A new arena with one reference (the builder's); `firstBlock` bytes are ready at once, in the
    // same heap block as the arena.
    static BBArena* create(std::size_t firstBlock);

    BBArena(const BBArena&) = delete;
    BBArena& operator=(const BBArena&) = delete;

    // The size of the first later block; a first block larger than this gains nothing.
    static constexpr std::size_t kBlockSize = 32 * 1024;

    bool building() const { return building_; }
    void finishBuilding() { building_ = false; }

    // `n` bytes aligned for any value, while building.
    void* allocate(std::size_t n) {
        // Never an empty block: a block's end may be the start of another.
        n = ((n ? n : 1) + kAlign - 1) & ~(kAlign - 1);
        if (static_cast<std::size_t>(end_ - at_) < n) return allocateInNewBlock(n);
        void* p = at_;
        at_ += n;
        // Documents are built front to back through their blocks: the memory a little ahead is
        // asked for now, so that filling it in does not wait on it (it may lie past the block's
        // end: a prefetch never faults).
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(at_) + 512), 1, 3);
        return p;
    }
    // Whether p lies in one of the arena's blocks (containers grown after building are not).
    // It walks the blocks: for the few containers that grew after building.
    bool owns(const void* p) const;

    // Kept by the arena rather than by each allocator, so that every allocator of the document
    // (copies included) knows to tell its heap memory from the arena's.
    void noteGrowthOnHeap() {
        if (!grewOnHeap_.load(std::memory_order_relaxed)) grewOnHeap_.store(true, std::memory_order_relaxed);
    }
    bool grewOnHeap() const { return grewOnHeap_.load(std::memory_order_relaxed); }

    void retain() { references_.fetch_add(1, std::memory_order_relaxed); }
    void release() {
        if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) destroy();
    }

private:
    static constexpr std::size_t kAlign = alignof(std::max_align_t);
    static constexpr std::size_t kGrowth = 4;
    struct Block {
        Block* next;
        char* end;
    };

    BBArena(char* at, char* end) : at_(at), end_(end), firstEnd_(end) {}
    void* allocateInNewBlock(std::size_t n);
    void destroy();

    char* at_;
    char* end_;
    char* const firstEnd_;  // the first block follows the arena itself
    Block* blocks_ = nullptr;  // the later ones, newest first
    std::size_t nextBlock_ = kBlockSize;
    bool building_ = true;
    // Set by whichever thread first grew a container of the finished document; a thread freeing
    // that memory was handed the container after it grew, so it sees the flag.
    std::atomic<bool> grewOnHeap_{false};
    std::atomic<std::uint32_t> references_{1};
};

// Allocator of the containers inside values. Without an arena it is the heap's. The builder gives
// the containers of a document a reference to the document's arena that it does not count (the
// document's root holds the counted one); any copy or move of such an allocator - a container
// leaving the document - takes a counted reference. Copies of containers are made with the heap
// allocator: a copy owns its memory and keeps no document alive. A container moved from keeps no
// memory and gets the heap's allocator, so it stays usable once the document is gone.
template <class T>
class BBArenaAllocator {
public:
    using value_type = T;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    using is_always_equal = std::false_type;

    BBArenaAllocator() noexcept = default;
    // An uncounted reference, for a container inside a document that is being built.
    static BBArenaAllocator inDocument(BBArena* arena) noexcept { return BBArenaAllocator(arena, false); }

    // A copy of an allocator goes with a new container, which has no memory yet.
    BBArenaAllocator(const BBArenaAllocator& other) noexcept : tagged_(reinterpret_cast<std::uintptr_t>(other.arena())) {
        count();
    }
    template <class U>
    BBArenaAllocator(const BBArenaAllocator<U>& other) noexcept : tagged_(reinterpret_cast<std::uintptr_t>(other.arena())) {
        count();
    }
    // A moved allocator goes with its container's memory, and its reference with it.
    BBArenaAllocator(BBArenaAllocator&& other) noexcept : tagged_(other.tagged_) {
        other.tagged_ = 0;
        if (!counted()) count();
    }
    BBArenaAllocator& operator=(BBArenaAllocator other) noexcept {
        const std::uintptr_t mine = tagged_;
        tagged_ = other.tagged_;
        other.tagged_ = mine;
        return *this;
    }
    ~BBArenaAllocator() {
        if (counted()) arena()->release();
    }

    BBArenaAllocator select_on_container_copy_construction() const noexcept { return BBArenaAllocator(); }

    // A container of a document grows into the arena while the document is built, and onto the
    // heap afterwards; until one did, memory of the document is let go without asking the arena
    // which is its own.
    T* allocate(std::size_t n) {
        BBArena* a = arena();
        if (a && a->building()) return static_cast<T*>(a->allocate(n * sizeof(T)));
        if (a) a->noteGrowthOnHeap();
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t) noexcept {
        BBArena* a = arena();
        if (!a || (a->grewOnHeap() && !a->owns(p))) ::operator delete(p);
    }

    BBArena* arena() const noexcept { return reinterpret_cast<BBArena*>(tagged_ & ~kCounted); }

    // Allocators of one arena free each other's memory, whether they count their reference or not.
    template <class U>
    bool operator==(const BBArenaAllocator<U>& other) const noexcept { return arena() == other.arena(); }

private:
    static constexpr std::uintptr_t kCounted = 1;
    BBArenaAllocator(BBArena* arena, bool counted) noexcept
        : tagged_(reinterpret_cast<std::uintptr_t>(arena) | (counted ? kCounted : 0)) {}
    bool counted() const noexcept { return tagged_ & kCounted; }
    // A reference made while the document is built stays inside it; any later one leaves it.
    void count() noexcept {
        BBArena* a = arena();
        if (a && !a->building()) {
            a->retain();
            tagged_ |= kCounted;
        }
    }

    std::uintptr_t tagged_ = 0;  // the arena, its low bit set when the reference is counted
};

}  // namespace bb
