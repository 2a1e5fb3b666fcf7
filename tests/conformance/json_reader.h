// A small JSON reader for the conformance records: one document per line,
// integers only (doubles travel as hexadecimal bit patterns in strings).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace conformance {

struct Json {
    enum class Kind { Null, Bool, Integer, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    int64_t integer = 0;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;
};

// Parses one complete document; throws std::runtime_error naming the column
// and what was expected there.
Json parseJson(const std::string& text);

// A value with the path that led to it from the record, so that every
// decoding error says which field was wrong (for example
// "calls[2].inputs.nfft"); the record itself has the empty path.
class JsonField {
public:
    JsonField(const Json& value, std::string path) : value_(value), path_(std::move(path)) {}

    const std::string& path() const { return path_; }
    JsonField at(const std::string& key) const;
    JsonField operator[](std::size_t index) const;
    std::size_t size() const;
    bool isNull() const { return value_.kind == Json::Kind::Null; }
    bool toBool() const;
    int32_t toInt32() const;
    const std::string& toString() const;
    // A double written as the 16 hexadecimal digits of its bit pattern.
    uint64_t toBits() const;
    // An array of such doubles, or of 32-bit integers.
    std::vector<uint64_t> toBitsArray() const;
    std::vector<int32_t> toInt32Array() const;

private:
    std::string where() const;
    const Json& expect(Json::Kind kind, const char* what) const;

    const Json& value_;
    std::string path_;
};

}  // namespace conformance
