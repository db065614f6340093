#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/graphics/PixelImage.h"

namespace plat {
class Window;
}

namespace qx::app {

// Pictures of screens laid side by side in rows on one sheet, each captioned with its
// screen's name, so that a person can look over a whole walk at once.
class ContactSheet {
public:
    // Adds the window as it is drawn now, captioned with the name of what is in front.
    void addScreen(plat::Window& window, const std::string& prefix);
    void add(plat::PixelImage picture, std::string caption);
    std::size_t size() const { return tiles_.size(); }
    bool writePng(const std::filesystem::path& path, std::string& error) const;

    // The name a person would give the screen in front: an alert's or sheet's title, else
    // the title of the screen in front (or of its bar, or its tab's name), else its kind.
    static std::string screenName(plat::Window& window);

private:
    struct Tile {
        plat::PixelImage picture;
        std::string caption;
    };
    std::vector<Tile> tiles_;
};

}  // namespace qx::app
