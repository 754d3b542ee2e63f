#pragma once
// A strict JSON reader for tests (RFC 8259): checks that a program wrote JSON
// and lets the test look into it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace mervex::test {

struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    bool has(const std::string& key) const { return kind == Object && members.count(key) != 0; }
    // The member, or a null value when there is none.
    const Json& operator[](const std::string& key) const {
        static const Json none;
        const auto found = members.find(key);
        return found == members.end() ? none : found->second;
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : s_(text) {}

    // The whole text as one value; false when it is anything else.
    bool read(Json& value) {
        pos_ = 0;
        return parseValue(value, 0) && (space(), pos_ == s_.size());
    }

private:
    void space() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) ++pos_;
    }
    bool literal(const char* word) {
        const std::string w(word);
        if (s_.compare(pos_, w.size(), w) != 0) return false;
        pos_ += w.size();
        return true;
    }
    bool digits() {
        const size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
        return pos_ > start;
    }
    static void appendUtf8(std::string& out, uint32_t c) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    bool hex4(uint32_t& c) {
        if (pos_ + 4 > s_.size()) return false;
        c = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = s_[pos_++];
            c <<= 4;
            if (h >= '0' && h <= '9') c |= uint32_t(h - '0');
            else if (h >= 'a' && h <= 'f') c |= uint32_t(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') c |= uint32_t(h - 'A' + 10);
            else return false;
        }
        return true;
    }
    bool parseString(std::string& out) {
        if (pos_ >= s_.size() || s_[pos_] != '"') return false;
        ++pos_;
        while (pos_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[pos_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (pos_ >= s_.size()) return false;
            const char e = s_[pos_++];
            const char* simple = "\"\\/bfnrt";
            const char* meant = "\"\\/\b\f\n\r\t";
            const char* at = std::strchr(simple, e);
            if (e != '\0' && at != nullptr) {
                out += meant[at - simple];
            } else if (e == 'u') {
                uint32_t u;
                if (!hex4(u)) return false;
                if (u >= 0xD800 && u <= 0xDBFF) {
                    uint32_t low;
                    if (!literal("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                    u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                } else if (u >= 0xDC00 && u <= 0xDFFF) {
                    return false;
                }
                appendUtf8(out, u);
            } else {
                return false;
            }
        }
        return false;
    }
    bool parseNumber(Json& value) {
        const size_t start = pos_;
        if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '0') {
            ++pos_;
        } else if (!digits()) {
            return false;
        }
        if (pos_ < s_.size() && s_[pos_] == '.' && (++pos_, !digits())) return false;
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
            if (!digits()) return false;
        }
        value.kind = Json::Number;
        value.number = std::strtod(s_.substr(start, pos_ - start).c_str(), nullptr);
        return true;
    }
    bool parseValue(Json& value, int depth) {
        if (depth > 64) return false;
        space();
        if (pos_ >= s_.size()) return false;
        const char c = s_[pos_];
        if (c == '{') {
            ++pos_;
            value.kind = Json::Object;
            space();
            if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
            for (;;) {
                space();
                std::string key;
                if (!parseString(key) || value.members.count(key) != 0) return false;
                space();
                if (!literal(":") || !parseValue(value.members[key], depth + 1)) return false;
                space();
                if (literal("}")) return true;
                if (!literal(",")) return false;
            }
        }
        if (c == '[') {
            ++pos_;
            value.kind = Json::Array;
            space();
            if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
            for (;;) {
                value.items.emplace_back();
                if (!parseValue(value.items.back(), depth + 1)) return false;
                space();
                if (literal("]")) return true;
                if (!literal(",")) return false;
            }
        }
        if (c == '"') {
            value.kind = Json::String;
            return parseString(value.text);
        }
        if (literal("true")) {
            value.kind = Json::Bool;
            value.boolean = true;
            return true;
        }
        if (literal("false")) {
            value.kind = Json::Bool;
            return true;
        }
        if (literal("null")) return true;
        return parseNumber(value);
    }

    const std::string& s_;
    size_t pos_ = 0;
};

// Parse the whole text as one JSON value; false when it is not exactly that.
inline bool parseJson(const std::string& text, Json& value) { return JsonReader(text).read(value); }

}  // namespace mervex::test
