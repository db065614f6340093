#include "CommandParser.h"

#include <charconv>

namespace qx::app {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Moves a trailing "#N" of the word's last unquoted run into its index.
bool takeIndex(Word& w, std::size_t runStart, std::string& error) {
    std::size_t hash = w.text.rfind('#');
    if (hash == std::string::npos || hash < runStart || hash + 1 == w.text.size()) return true;
    const char* first = w.text.data() + hash + 1;
    const char* last = w.text.data() + w.text.size();
    for (const char* p = first; p != last; ++p) {
        if (*p < '0' || *p > '9') return true;  // "#abc" is plain text
    }
    int n = 0;
    auto [end, ec] = std::from_chars(first, last, n);
    if (ec != std::errc() || end != last || n < 1) {
        error = "bad index in " + w.text + " (count from 1)";
        return false;
    }
    w.index = n;
    w.text.erase(hash);
    return true;
}

// Reads a quoted run starting after its opening quote; false when it is not closed.
bool readQuoted(const std::string& line, std::size_t& i, std::string& into) {
    while (i < line.size()) {
        char c = line[i++];
        if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
            into += line[i++];
        } else if (c == '"') {
            return true;
        } else {
            into += c;
        }
    }
    return false;
}

bool readWord(const std::string& line, std::size_t& i, Word& w, std::string& error) {
    std::size_t runStart = 0;
    while (i < line.size() && !isBlank(line[i]) && line[i] != '>') {
        if (line[i] == '"') {
            ++i;
            if (!readQuoted(line, i, w.text)) {
                error = "unclosed quote";
                return false;
            }
            w.quoted = true;
            runStart = w.text.size();
        } else {
            w.text += line[i++];
        }
    }
    return takeIndex(w, runStart, error);
}

}  // namespace

bool parseCommand(const std::string& line, ParsedCommand& out, std::string& error) {
    out = ParsedCommand{};
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size() || line[i] == '#') return true;
    std::vector<Word> words;
    while (true) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i == line.size()) break;
        if (line[i] == '>') {
            words.push_back(Word{">", false, true, 0});
            ++i;
            continue;
        }
        Word w;
        if (!readWord(line, i, w, error)) return false;
        words.push_back(std::move(w));
    }
    const Word& name = words.front();
    if (name.quoted || name.separator || name.index != 0) {
        error = "a command starts with its name";
        return false;
    }
    out.name = name.text;
    out.args.assign(words.begin() + 1, words.end());
    return true;
}

bool parsePath(const std::vector<Word>& words, ElementPath& out, std::string& error) {
    out.clear();
    bool open = false;  // the last step has its text
    for (const Word& w : words) {
        if (w.separator) {
            if (!open) {
                error = "an empty step in the path";
                return false;
            }
            open = false;
            continue;
        }
        if (open) {
            error = "two texts in one step (put texts with blanks in double quotes, or separate steps with >)";
            return false;
        }
        if (w.text.empty()) {
            error = "an empty text in the path";
            return false;
        }
        out.push_back(PathStep{w.text, w.index});
        open = true;
    }
    if (out.empty() || !open) {
        error = out.empty() ? "no text given" : "an empty step at the end of the path";
        return false;
    }
    return true;
}

std::string pathText(const ElementPath& path) {
    std::string s;
    for (const PathStep& step : path) {
        if (!s.empty()) s += " > ";
        s += "\"" + step.text + "\"";
        if (step.index > 0) s += "#" + std::to_string(step.index);
    }
    return s;
}

}  // namespace qx::app
