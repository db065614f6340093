#include "beta/BBStackWalker.h"

#include <elf.h>
#include <link.h>
#include <unwind.h>

#include "beta/BBLoadedImages.h"
#include "beta/BBTaskThreads.h"

namespace bb {

namespace {

struct UnwindState {
    std::uintptr_t* buffer;
    std::size_t capacity;
    std::size_t count;
    std::uintptr_t startPC;
    std::size_t skip;
    bool asTheyAre;
    bool started;
};

_Unwind_Reason_Code unwindStep(_Unwind_Context* context, void* data) {
    auto* state = static_cast<UnwindState*>(data);
    int exact = 0;
    const auto address = static_cast<std::uintptr_t>(_Unwind_GetIPInfo(context, &exact));
    if (address == 0) return _URC_END_OF_STACK;
    if (!state->started) {
        if (state->startPC != 0 ? address != state->startPC : state->skip > 0) {
            if (state->startPC == 0) --state->skip;
            return _URC_NO_REASON;
        }
        state->started = true;
    }
    if (state->count >= state->capacity) return _URC_END_OF_STACK;
    state->buffer[state->count++] = exact || state->asTheyAre ? address : address - 1;
    return _URC_NO_REASON;
}

bool validFrame(std::uintptr_t frame, const BBStackWalkStart& start) {
    return start.top >= 16 && frame >= start.bottom && frame <= start.top - 16 && (frame & 1) == 0;
}

// One link of the chain: the caller's frame, or 0 when it is invalid or does not move up.
std::uintptr_t nextFrame(std::uintptr_t frame, const BBStackWalkStart& start) {
    const std::uintptr_t next = *reinterpret_cast<const std::uintptr_t*>(frame);
    return validFrame(next, start) && next > frame ? next : 0;
}

struct SymbolSearch {
    std::uintptr_t address;
    BBSymbol result;
};

// The dynamic section's pointers are usually relocated by the loader, but not in every image.
template <class T>
const T* dynamicPointer(ElfW(Addr) value, std::uintptr_t bias) {
    return reinterpret_cast<const T*>(value < bias ? value + bias : value);
}

std::size_t symbolCountFromGnuHash(const std::uint32_t* table) {
    const std::uint32_t buckets = table[0];
    const std::uint32_t offset = table[1];
    const std::uint32_t bloomWords = table[2];
    const auto* bucket = reinterpret_cast<const std::uint32_t*>(
        reinterpret_cast<const unsigned char*>(table + 4) + bloomWords * sizeof(ElfW(Addr)));
    const std::uint32_t* chain = bucket + buckets;
    std::uint32_t last = 0;
    for (std::uint32_t i = 0; i < buckets; ++i) {
        if (bucket[i] > last) last = bucket[i];
    }
    if (last < offset) return offset;
    while ((chain[last - offset] & 1) == 0) ++last;
    return last + 1;
}

void findSymbol(const BBImage& image, SymbolSearch& search) {
    const ElfW(Dyn)* dynamic = nullptr;
    for (std::size_t i = 0; i < image.headerCount; ++i) {
        if (image.headers[i].p_type == PT_DYNAMIC) {
            dynamic = reinterpret_cast<const ElfW(Dyn)*>(image.bias + image.headers[i].p_vaddr);
        }
    }
    if (!dynamic) return;
    const ElfW(Sym)* symbols = nullptr;
    const char* strings = nullptr;
    std::size_t stringsSize = 0;
    std::size_t count = 0;
    for (const ElfW(Dyn)* entry = dynamic; entry->d_tag != DT_NULL; ++entry) {
        switch (entry->d_tag) {
            case DT_SYMTAB: symbols = dynamicPointer<ElfW(Sym)>(entry->d_un.d_ptr, image.bias); break;
            case DT_STRTAB: strings = dynamicPointer<char>(entry->d_un.d_ptr, image.bias); break;
            case DT_STRSZ: stringsSize = entry->d_un.d_val; break;
            case DT_HASH: count = dynamicPointer<std::uint32_t>(entry->d_un.d_ptr, image.bias)[1]; break;
            case DT_GNU_HASH:
                if (count == 0) count = symbolCountFromGnuHash(dynamicPointer<std::uint32_t>(entry->d_un.d_ptr, image.bias));
                break;
            default: break;
        }
    }
    if (!symbols || !strings) return;
    const std::uintptr_t target = search.address - image.bias;
    const ElfW(Sym)* best = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        const ElfW(Sym)& symbol = symbols[i];
        const int type = ELF64_ST_TYPE(symbol.st_info);
        const bool code = type == STT_FUNC || type == STT_OBJECT || type == STT_NOTYPE || type == STT_GNU_IFUNC;
        if (!code || symbol.st_shndx == SHN_UNDEF || symbol.st_value == 0 || symbol.st_value > target ||
            symbol.st_name >= stringsSize) {
            continue;
        }
        // A symbol of known size that ends below the address belongs to other code: naming it
        // would name the wrong function. Its very end still counts, as the return address of a
        // call that never returns.
        if (symbol.st_size != 0 && target - symbol.st_value > symbol.st_size) continue;
        if (!best || target - symbol.st_value < target - best->st_value) best = &symbol;
    }
    if (best) {
        search.result.name = strings + best->st_name;
        search.result.distance = target - best->st_value;
    }
}

int searchImage(const BBImage& image, void* context) {
    auto* search = static_cast<SymbolSearch*>(context);
    if (!bb_image_contains(image, search->address)) return 0;
    search->result.imagePath = image.path;
    findSymbol(image, *search);
    return 1;
}

std::size_t withoutTrailingZeros(const std::uintptr_t* buffer, std::size_t count) {
    while (count > 0 && buffer[count - 1] == 0) --count;
    return count;
}

}  // namespace

__attribute__((noinline)) std::size_t bb_unwind_stack(std::uintptr_t* buffer, std::size_t capacity,
                                                      std::uintptr_t startPC, std::size_t skip, bool asTheyAre) {
    if (!buffer || capacity == 0) return 0;
    // The first frame the unwinder reports is this function's own.
    UnwindState state{buffer, capacity, 0, startPC, skip + 1, asTheyAre, false};
    _Unwind_Backtrace(unwindStep, &state);
    if (state.count == 0 && startPC != 0) buffer[state.count++] = startPC;
    return state.count;
}

void bb_walk_stack(const BBStackWalkStart& start, std::uintptr_t* buffer, std::size_t capacity, std::size_t* count,
                   std::size_t skip) {
    if (count) *count = 0;
    if (!buffer || !count) return;
    std::uintptr_t frame = validFrame(start.frame, start) ? start.frame : 0;
    for (; frame != 0 && skip > 0; --skip) frame = nextFrame(frame, start);
    while (frame != 0 && *count < capacity) {
        const std::uintptr_t returnAddress = reinterpret_cast<const std::uintptr_t*>(frame)[1];
        buffer[(*count)++] = returnAddress - 1;
        frame = nextFrame(frame, start);
    }
}

std::size_t bb_backtrace(pid_t thread, std::uintptr_t* buffer, std::size_t capacity) {
    if (!buffer || capacity == 0) return 0;
    if (thread == BBTaskThreads::currentThreadID()) {
        return withoutTrailingZeros(buffer, bb_unwind_stack(buffer, capacity, 0, 1));
    }
    const BBThreadSnapshot* snapshot = BBTaskThreads::snapshot(thread);
    if (!snapshot) return 0;
    std::size_t count = 0;
    if (snapshot->frameCount > 0) {
        for (; count < snapshot->frameCount && count < capacity; ++count) buffer[count] = snapshot->frames[count];
    } else {
        BBStackWalkStart start{snapshot->fp, 0, 0};
        if (BBTaskThreads::stackBounds(snapshot->sp, &start.bottom, &start.top)) {
            bb_walk_stack(start, buffer, capacity, &count, 1);
        }
    }
    return withoutTrailingZeros(buffer, count);
}

BBSymbol bb_lookup_symbol(std::uintptr_t address) {
    SymbolSearch search{address, {nullptr, nullptr, 0}};
    bb_visit_images(searchImage, &search);
    return search.result;
}

}  // namespace bb
