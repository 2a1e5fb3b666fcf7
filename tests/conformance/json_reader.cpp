#include "json_reader.h"

#include <limits>
#include <stdexcept>

namespace conformance {

namespace {

const char* kindName(Json::Kind kind)
{
    switch (kind) {
    case Json::Kind::Null: return "null";
    case Json::Kind::Bool: return "a boolean";
    case Json::Kind::Integer: return "an integer";
    case Json::Kind::String: return "a string";
    case Json::Kind::Array: return "an array";
    case Json::Kind::Object: return "an object";
    }
    return "an unknown value";
}

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    Json document()
    {
        Json value = parseValue();
        skipSpace();
        if (pos_ != text_.size()) fail("expected the end of the line");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        std::string found = pos_ < text_.size() ? "'" + text_.substr(pos_, 12) + "'" : "the end of the line";
        throw std::runtime_error("JSON column " + std::to_string(pos_ + 1) + ": " + what + ", found " + found);
    }

    void skipSpace()
    {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' || text_[pos_] == '\n')) ++pos_;
    }

    bool take(char c)
    {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    void require(char c)
    {
        if (!take(c)) fail(std::string("expected '") + c + "'");
    }

    bool takeWord(const char* word)
    {
        const std::string w(word);
        if (text_.compare(pos_, w.size(), w) != 0) return false;
        pos_ += w.size();
        return true;
    }

    Json parseValue()
    {
        skipSpace();
        Json value;
        if (pos_ >= text_.size()) fail("expected a value");
        const char c = text_[pos_];
        if (c == '{') {
            value.kind = Json::Kind::Object;
            ++pos_;
            if (take('}')) return value;
            do {
                skipSpace();
                std::string key = parseString();
                require(':');
                value.members.emplace_back(std::move(key), parseValue());
            } while (take(','));
            require('}');
        } else if (c == '[') {
            value.kind = Json::Kind::Array;
            ++pos_;
            if (take(']')) return value;
            do value.items.push_back(parseValue());
            while (take(','));
            require(']');
        } else if (c == '"') {
            value.kind = Json::Kind::String;
            value.text = parseString();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            value.kind = Json::Kind::Integer;
            value.integer = parseInteger();
        } else if (takeWord("true") || takeWord("false")) {
            value.kind = Json::Kind::Bool;
            value.boolean = c == 't';
        } else if (!takeWord("null")) {
            fail("expected a value");
        }
        return value;
    }

    int64_t parseInteger()
    {
        const bool negative = text_[pos_] == '-';
        if (negative) ++pos_;
        if (pos_ >= text_.size() || text_[pos_] < '0' || text_[pos_] > '9') fail("expected a digit");
        // Accumulated as a negative number so that the most negative value fits.
        int64_t value = 0;
        const int64_t lowest = std::numeric_limits<int64_t>::min();
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            const int digit = text_[pos_] - '0';
            if (value < (lowest + digit) / 10) fail("expected an integer of at most 64 bits");
            value = value * 10 - digit;
            ++pos_;
        }
        if (pos_ < text_.size() && (text_[pos_] == '.' || text_[pos_] == 'e' || text_[pos_] == 'E'))
            fail("expected an integer (doubles are written as hexadecimal strings)");
        if (negative) return value;
        if (value == lowest) fail("expected an integer of at most 64 bits");
        return -value;
    }

    unsigned hexDigit(char c)
    {
        if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
        fail("expected a hexadecimal digit in a \\u escape");
    }

    std::string parseString()
    {
        if (pos_ >= text_.size() || text_[pos_] != '"') fail("expected a string");
        ++pos_;
        std::string out;
        while (true) {
            if (pos_ >= text_.size()) fail("expected the closing '\"' of a string");
            const char c = text_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) {
                --pos_;
                fail("expected an escape instead of a control character in a string");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) fail("expected an escape character after '\\'");
            const char e = text_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': appendCodePoint(out); break;
            default:
                --pos_;
                fail("expected one of the escapes \\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u");
            }
        }
    }

    // A \uXXXX escape of the basic multilingual plane, written out as UTF-8.
    void appendCodePoint(std::string& out)
    {
        if (pos_ + 4 > text_.size()) fail("expected four hexadecimal digits after \\u");
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) code = code * 16 + hexDigit(text_[pos_ + i]);
        if (code >= 0xD800 && code <= 0xDFFF) fail("expected a \\u escape outside the surrogate range D800 to DFFF");
        pos_ += 4;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

}  // namespace

Json parseJson(const std::string& text) { return Parser(text).document(); }

std::string JsonField::where() const { return path_.empty() ? "the record" : path_; }

const Json& JsonField::expect(Json::Kind kind, const char* what) const
{
    if (value_.kind != kind) throw std::runtime_error(where() + ": expected " + what + ", found " + kindName(value_.kind));
    return value_;
}

JsonField JsonField::at(const std::string& key) const
{
    for (const auto& member : expect(Json::Kind::Object, "an object").members)
        if (member.first == key) return JsonField(member.second, path_.empty() ? key : path_ + "." + key);
    throw std::runtime_error(where() + ": expected a field \"" + key + "\", found none");
}

JsonField JsonField::operator[](std::size_t index) const
{
    const auto& items = expect(Json::Kind::Array, "an array").items;
    if (index >= items.size())
        throw std::runtime_error(path_ + ": expected an entry at index " + std::to_string(index) + ", found " + std::to_string(items.size()) + " entries");
    return JsonField(items[index], path_ + "[" + std::to_string(index) + "]");
}

std::size_t JsonField::size() const { return expect(Json::Kind::Array, "an array").items.size(); }

bool JsonField::toBool() const { return expect(Json::Kind::Bool, "a boolean").boolean; }

int32_t JsonField::toInt32() const
{
    const int64_t v = expect(Json::Kind::Integer, "an integer").integer;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        throw std::runtime_error(path_ + ": expected a 32-bit signed integer, found " + std::to_string(v));
    return static_cast<int32_t>(v);
}

const std::string& JsonField::toString() const { return expect(Json::Kind::String, "a string").text; }

uint64_t JsonField::toBits() const
{
    const std::string& hex = toString();
    bool valid = hex.size() == 16;
    uint64_t bits = 0;
    for (const char c : hex) {
        const bool decimal = c >= '0' && c <= '9';
        const bool letter = c >= 'a' && c <= 'f';
        valid = valid && (decimal || letter);
        bits = bits << 4 | static_cast<uint64_t>(decimal ? c - '0' : letter ? c - 'a' + 10 : 0);
    }
    if (!valid) throw std::runtime_error(path_ + ": expected 16 lower-case hexadecimal digits of a double, found \"" + hex + "\"");
    return bits;
}

std::vector<uint64_t> JsonField::toBitsArray() const
{
    std::vector<uint64_t> out(size());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = (*this)[i].toBits();
    return out;
}

std::vector<int32_t> JsonField::toInt32Array() const
{
    std::vector<int32_t> out(size());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = (*this)[i].toInt32();
    return out;
}

}  // namespace conformance
