#include "JsonWriter.h"

#include <cinttypes>
#include <cmath>
#include <cstdlib>

namespace {

// The length of the valid UTF-8 sequence at text[at], or 0 when there is none.
std::size_t utf8SequenceLength(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length;
    unsigned lowest_second = 0x80, highest_second = 0xBF;  // excludes overlong forms and surrogates
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) lowest_second = 0xA0;
        if (lead == 0xED) highest_second = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) lowest_second = 0x90;
        if (lead == 0xF4) highest_second = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < lowest_second || byte(at + 1) > highest_second) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

bool isValidUtf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

void JsonWriter::newline() {
    out_.print("\n%*s", static_cast<int>(2 * has_members_.size()), "");
}

void JsonWriter::beforeValue() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (has_members_.empty()) return;
    if (has_members_.back()) out_.print(",");
    has_members_.back() = true;
    newline();
}

void JsonWriter::open(char bracket) {
    beforeValue();
    out_.print("%c", bracket);
    has_members_.push_back(false);
}

void JsonWriter::close(char bracket) {
    const bool had_members = has_members_.back();
    has_members_.pop_back();
    if (had_members) newline();
    out_.print("%c", bracket);
}

void JsonWriter::key(const char* name) {
    beforeValue();
    writeString(name);
    out_.print(": ");
    after_key_ = true;
}

void JsonWriter::value(std::uint64_t number) {
    beforeValue();
    out_.print("%" PRIu64, number);
}

void JsonWriter::value(std::int64_t number) {
    beforeValue();
    out_.print("%" PRId64, number);
}

void JsonWriter::value(double number) {
    if (!std::isfinite(number)) {
        null();
        return;
    }
    beforeValue();
    // The shortest form that reads back as the same double.
    char text[32];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, number);
        if (std::strtod(text, nullptr) == number) break;
    }
    out_.print("%s", text);
}

void JsonWriter::value(bool truth) {
    beforeValue();
    out_.print(truth ? "true" : "false");
}

void JsonWriter::null() {
    beforeValue();
    out_.print("null");
}

void JsonWriter::value(const std::string& text) {
    beforeValue();
    writeString(text);
}

void JsonWriter::writeString(const std::string& text) {
    std::string quoted = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0) {
            quoted += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
            ++at;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            quoted += escaped;
        } else {
            quoted.append(text, at, length);
        }
        at += length;
    }
    quoted += '"';
    out_.write(quoted.data(), quoted.size());
}

void JsonWriter::pathMember(const char* name, const std::string& path) {
    member(name, path);
    if (isValidUtf8(path)) return;
    std::string hex;
    for (unsigned char c : path) {
        static const char kDigits[] = "0123456789abcdef";
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    member((std::string(name) + "_hex").c_str(), hex);
}

void JsonWriter::finish() { out_.print("\n"); }
