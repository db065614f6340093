#pragma once

#include <cstddef>
#include <string>

namespace plat {

// Builds the indented text of a screen: one element per line, two blanks per level.
class DescriptionWriter {
public:
    void line(const std::string& text);
    void indent() { ++depth_; }
    void outdent() {
        if (depth_ > 0) --depth_;
    }
    int depth() const { return depth_; }
    const std::string& text() const { return text_; }

    // Indents for the lifetime of the guard.
    class Nested {
    public:
        explicit Nested(DescriptionWriter& w) : w_(w) { w_.indent(); }
        ~Nested() { w_.outdent(); }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;

    private:
        DescriptionWriter& w_;
    };

    // "text" in double quotes, with newlines shown as \n so that one element stays one line.
    static std::string quoted(const std::string& text);
    // At most `characters` UTF-8 characters of the text, ending in "..." when it was longer; a
    // character is never cut in two.
    static std::string shortened(const std::string& text, std::size_t characters);

private:
    std::string text_;
    int depth_ = 0;
};

}  // namespace plat
