#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qx {

class ManagedObject;

// The texts the share service posts to the social networks, built from the records' one-line
// descriptions, newest reading first.
class SocialText {
public:
    using Records = std::vector<std::shared_ptr<ManagedObject>>;

    static constexpr std::size_t kTwitterLimit = 140;

    // Newest first by the date of each record's reading (a waypoint's measurement's, a
    // measurement's own; a track's start, a set's day).
    static Records newestFirst(const Records& records);
    // Lines of the newest records until the text passes 139 characters, cut to 140.
    static std::string twitterText(const Records& records);
    // Every track, waypoint and measurement line, with a heading of the first one's kind when the
    // list holds more than one record.
    static std::string facebookText(const Records& records);
};

}  // namespace qx
