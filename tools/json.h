// A reader of JSON text, enough for the program's own manifests and
// summaries read back: values with the line they start on, for messages.
#ifndef VFFT_TOOLS_JSON_H
#define VFFT_TOOLS_JSON_H

#include <string>
#include <utility>
#include <vector>

namespace vfft_cli {

struct Json {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    std::string text;  // a string's value, or a number as written
    bool boolean = false;
    std::vector<Json> items;                          // an array's
    std::vector<std::pair<std::string, Json>> members;  // an object's, in order
    int line = 0;

    // The member of an object, or null when there is none.
    const Json* member(const std::string& key) const;
};

// Parses a whole document; name is the file named in a failure.
Json parseJson(const std::string& text, const std::string& name);

}  // namespace vfft_cli

#endif
