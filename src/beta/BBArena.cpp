#include "beta/BBArena.h"

#include <algorithm>
#include <cstdlib>

namespace bb {

BBArena* BBArena::create(std::size_t firstBlock) {
    const std::size_t head = (sizeof(BBArena) + kAlign - 1) & ~(kAlign - 1);
    char* memory = static_cast<char*>(std::malloc(head + firstBlock));
    if (!memory) throw std::bad_alloc();
    auto* arena = new (memory) BBArena(memory + head, memory + head + firstBlock);
    arena->nextBlock_ = std::max<std::size_t>(2 * firstBlock, 4096);
    return arena;
}

void* BBArena::allocateInNewBlock(std::size_t n) {
    // Blocks grow with the document, so that a large one takes a few blocks, not many.
    const std::size_t head = (sizeof(Block) + kAlign - 1) & ~(kAlign - 1);
    const std::size_t size = std::max(nextBlock_, n);
    char* memory = static_cast<char*>(std::malloc(head + size));
    if (!memory) throw std::bad_alloc();
    nextBlock_ = 2 * size;
    auto* block = new (memory) Block{blocks_, memory + head + size};
    blocks_ = block;
    at_ = memory + head + n;
    end_ = block->end;
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
