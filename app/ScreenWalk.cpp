#include "ScreenWalk.h"

#include <fstream>

#include "Driver.h"
#include "model/Language.h"

namespace qx::app {

namespace {

std::string quotedWord(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// The line with each text in the current language; numbers, paths and "#N" are kept.
std::string localised(const ParsedCommand& command, const std::string& language, const std::string& folder) {
    static const std::string kFolder = "$WALK";
    std::string line = command.name;
    for (const auto& word : command.args) {
        if (word.separator) {
            line += " >";
            continue;
        }
        if (const auto at = word.text.find(kFolder); at != std::string::npos) {
            line += " " + quotedWord(std::string(word.text).replace(at, kFolder.size(), folder));
            continue;
        }
        line += " " + quotedWord(qx::Language::get(word.text == "$LANG" ? language : word.text));
        if (word.index > 0) line += "#" + std::to_string(word.index);
    }
    return line;
}

}  // namespace

bool ScreenWalk::load(const std::filesystem::path& file, std::string& error) {
    std::ifstream in(file);
    if (!in) {
        error = "cannot read the walk " + file.string();
        return false;
    }
    lines_.clear();
    folder_ = std::filesystem::absolute(file).parent_path().string();
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        Line line{number, {}, {}};
        if (text.starts_with("@")) {
            const auto blank = text.find(' ');
            line.only = text.substr(1, blank - 1);
            text = blank == std::string::npos ? std::string() : text.substr(blank + 1);
        }
        if (!parseCommand(text, line.command, error)) {
            error = file.filename().string() + ":" + std::to_string(number) + ": " + error;
            return false;
        }
        if (!line.command.empty()) lines_.push_back(std::move(line));
    }
    return true;
}

void ScreenWalk::run(Driver& driver, const std::string& language, const Observer& after) const {
    for (const auto& line : lines_) {
        if (!line.only.empty() && line.only != language) continue;
        // Put into words only now: the walk switches the language as it goes.
        Step step{line.number, localised(line.command, language, folder_), line.command.name == "check-layout"};
        if (!after(step, driver.execute(step.text))) return;
    }
}

}  // namespace qx::app
