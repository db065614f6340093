#include "beta/BBArena.h"

#include <algorithm>
#include <cstdlib>

namespace bb {

BBArena* BBArena::create(std::size_t firstBlock) {
    const std::size_t head = (sizeof(BBArena) + kAlign - 1) & ~(kAlign - 1);
    char* memory = static_cast<char*>(std::malloc(head + firstBlock));
    if (!memory) throw std::bad_alloc();
    return new (memory) BBArena(memory + head, memory + head + firstBlock);
}

void* BBArena::allocateInNewBlock(std::size_t n) {
    // Later blocks are of one moderate size, as a document's memory is freed all at once: larger
    // ones would make the C library return the top of the heap to the system and take it back
    // (with a page fault for every page) on every document. A large piece gets a block of its own.
    const std::size_t head = (sizeof(Block) + kAlign - 1) & ~(kAlign - 1);
    const bool own = n > nextBlock_ / 4;
    const std::size_t size = own ? n : nextBlock_ - head;
    if (!own) nextBlock_ *= kGrowth;
    char* memory = static_cast<char*>(std::malloc(head + size));
    if (!memory) throw std::bad_alloc();
    auto* block = new (memory) Block{blocks_, memory + head + size};
    blocks_ = block;
    if (!own) {
        at_ = memory + head + n;
        end_ = block->end;
    }
    return memory + head;
}

bool BBArena::owns(const void* p) const {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    if (at > reinterpret_cast<std::uintptr_t>(this) && at < reinterpret_cast<std::uintptr_t>(firstEnd_)) return true;
    for (const Block* block = blocks_; block; block = block->next) {
        if (at > reinterpret_cast<std::uintptr_t>(block) && at < reinterpret_cast<std::uintptr_t>(block->end)) return true;
    }
    return false;
}

void BBArena::destroy() {
    for (Block* block = blocks_; block;) {
        Block* next = block->next;
        std::free(block);
        block = next;
    }
    this->~BBArena();
    std::free(this);
}

}  // namespace bb
