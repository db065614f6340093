#pragma once

#include <cstdarg>
#include <functional>
#include <string>

#include "platform/foundation/Dispatch.h"

// The base every part of the beta library stands on: its one serial queue, its own directory,
// and the entry through which every message of the library is logged.

namespace bb {

// Begins the library's queue labels and user-defaults keys.
inline constexpr const char* kBBReverseDomainPrefix = "net.betabeam";

// The serial queue on which the library's state changes; created on first use, never released.
plat::SerialQueue& bb_sdk_queue();

// The library's directory in the caches folder, created (with its missing parents) on first use.
// Every file of the library lies under it.
const std::string& bb_sdk_directory_path();

// Formats like printf and hands the text to the log manager; a null format logs nothing.
void bb_log_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
void bb_log_format_arguments(const char* format, va_list arguments) __attribute__((format(printf, 1, 0)));
void bb_log_message(const std::string& text);

// Runs `block` on the library's queue and returns at once, holding background time of the
// platform from the call until the block has run, so that a host that suspends applications
// lets queued work finish. When the platform takes the time back first, the task is ended then.
void bb_run_in_background_task(std::function<void()> block);

}  // namespace bb
