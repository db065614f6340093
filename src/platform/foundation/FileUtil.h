#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

// Whole-file helpers. Writes go to a temporary file beside the target, are flushed to disk and
// renamed over it, so that a crash leaves either the old file or the new one, never half.
namespace file {

std::optional<std::string> read(const std::filesystem::path& path);

// On failure returns false and, when `error` is given, a description.
bool writeAtomically(const std::filesystem::path& path, std::string_view bytes,
                     std::string* error = nullptr);

// Creates the folder and its missing parents; true when it exists afterwards.
bool ensureDirectory(const std::filesystem::path& path);

// A fresh unique name for a file inside `dir`: "<stem>-<n><ext>" when "<stem><ext>" is taken.
std::filesystem::path uniqueName(const std::filesystem::path& dir, const std::string& stem,
                                 const std::string& ext);

}  // namespace file
}  // namespace plat
