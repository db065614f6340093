#include "beta/BBSDK.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

#include "beta/BBAlternateSignalStack.h"
#include "beta/BBBackgroundTask.h"
#include "beta/BBLogManager.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"

namespace bb {

plat::SerialQueue& bb_sdk_queue() {
    // Never released: work may still be queued while static objects are destroyed.
    static plat::SerialQueue* queue = [] {
        auto* created = new plat::SerialQueue(std::string(kBBReverseDomainPrefix) + ".Betabeam");
        // A crash can happen on any thread the library runs, a stack overflow included.
        created->async([] { BBAlternateSignalStack::prepareCurrentThread(); });
        return created;
    }();
    return *queue;
}

const std::string& bb_sdk_directory_path() {
    static const std::string* path = [] {
        auto dir = plat::DataFolder::caches() / (std::string(kBBReverseDomainPrefix) + ".betabeamsdk");
        plat::file::ensureDirectory(dir);
        return new std::string(dir.string());
    }();
    return *path;
}

void bb_log_format(const char* format, ...) {
    if (!format) return;
    va_list arguments;
    va_start(arguments, format);
    bb_log_format_arguments(format, arguments);
    va_end(arguments);
}

void bb_log_format_arguments(const char* format, va_list arguments) {
    if (!format) return;
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length < 0) return;
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, arguments);
    bb_log_message(std::string(text.data(), static_cast<std::size_t>(length)));
}

void bb_log_message(const std::string& text) { BBLogManager::sharedManager().log(text); }

void bb_run_in_background_task(std::function<void()> block) {
    if (!block) return;
    // The expiry handler may run before begin() has returned the identifier, and on any thread:
    // the identifier is shared, and ending a task twice is harmless (the second end is ignored).
    auto task = std::make_shared<std::atomic<BBBackgroundTask::Identifier>>(BBBackgroundTask::kInvalid);
    task->store(BBBackgroundTask::begin([task] { BBBackgroundTask::end(task->exchange(BBBackgroundTask::kInvalid)); }));
    bb_sdk_queue().async([task, block = std::move(block)] {
        block();
        BBBackgroundTask::end(task->exchange(BBBackgroundTask::kInvalid));
    });
}

}  // namespace bb
