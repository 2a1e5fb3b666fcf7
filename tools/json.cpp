#include "json.h"

#include "cli.h"

namespace vfft_cli {

const Json* Json::member(const std::string& key) const {
    for (const auto& [k, v] : members)
        if (k == key) return &v;
    return nullptr;
}

namespace {

class Parser {
public:
    Parser(const std::string& text, const std::string& name) : s_(text), name_(name) {}

    Json document() {
        Json v = value(0);
        space();
        if (i_ < s_.size()) fail("text after the end of the document");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        dataError(name_ + ":" + std::to_string(line_) + ": not JSON: " + what);
    }

    void space() {
        for (; i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'); ++i_)
            if (s_[i_] == '\n') ++line_;
    }

    bool take(char c) {
        space();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }

    void expect(char c) {
        if (!take(c)) fail(std::string("expected '") + c + "'");
    }

    bool word(const char* w) {
        const std::string text(w);
        if (s_.compare(i_, text.size(), text) != 0) return false;
        i_ += text.size();
        return true;
    }

    Json value(int depth) {
        if (depth > 64) fail("nested more than 64 deep");
        space();
        Json v;
        v.line = line_;
        if (i_ >= s_.size()) fail("the text ends where a value was expected");
        const char c = s_[i_];
        if (c == '{') {
            v.type = Json::Type::Object;
            ++i_;
            if (take('}')) return v;
            do {
                space();
                if (i_ >= s_.size() || s_[i_] != '"') fail("expected a member name in double quotes");
                std::string key = string();
                expect(':');
                v.members.emplace_back(std::move(key), value(depth + 1));
            } while (take(','));
            expect('}');
        } else if (c == '[') {
            v.type = Json::Type::Array;
            ++i_;
            if (take(']')) return v;
            do v.items.push_back(value(depth + 1));
            while (take(','));
            expect(']');
        } else if (c == '"') {
            v.type = Json::Type::String;
            v.text = string();
        } else if (word("true") || word("false")) {
            v.type = Json::Type::Bool;
            v.boolean = c == 't';
        } else if (word("null")) {
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            v.type = Json::Type::Number;
            const size_t end = s_.find_first_not_of("+-0123456789.eE", i_);
            v.text = s_.substr(i_, end == std::string::npos ? std::string::npos : end - i_);
            i_ += v.text.size();
        } else {
            fail(std::string("unexpected '") + c + "'");
        }
        return v;
    }

    // A string without escapes beyond \" \\ \/ and the control letters,
    // which is all the program writes.
    std::string string() {
        std::string out;
        for (++i_; i_ < s_.size() && s_[i_] != '"'; ++i_) {
            if (s_[i_] == '\n') fail("a string runs past the end of its line");
            if (s_[i_] != '\\') {
                out += s_[i_];
                continue;
            }
            if (++i_ >= s_.size()) break;
            const char* const from = "\"\\/bfnrt";
            const char* const to = "\"\\/\b\f\n\r\t";
            const std::string known(from);
            const size_t k = known.find(s_[i_]);
            if (k == std::string::npos) fail(std::string("unsupported escape \\") + s_[i_]);
            out += to[k];
        }
        if (i_ >= s_.size()) fail("a string has no closing double quote");
        ++i_;
        return out;
    }

    const std::string& s_;
    const std::string& name_;
    size_t i_ = 0;
    int line_ = 1;
};

}  // namespace

Json parseJson(const std::string& text, const std::string& name) { return Parser(text, name).document(); }

}  // namespace vfft_cli
