// Writes one JSON document, indented, to an output stream. Numbers keep
// their full value; a number that is not finite is written as null. Strings
// are always valid UTF-8: each byte that is not part of a valid UTF-8
// sequence becomes U+FFFD.
#ifndef DEDUP_COMMON_JSONWRITER_H
#define DEDUP_COMMON_JSONWRITER_H

#include <cstdint>
#include <string>
#include <vector>

#include "OutputStream.h"

class JsonWriter {
public:
    explicit JsonWriter(OutputStream& out) : out_(out) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    // The key of the next value inside an object.
    void key(const char* name);

    void value(std::uint64_t number);
    void value(std::int64_t number);
    void value(double number);
    void value(bool truth);
    void value(const std::string& text);
    void null();

    // Shorthands for a key and its value.
    template <typename Value>
    void member(const char* name, const Value& v) {
        key(name);
        value(v);
    }

    // A path as a string member, and when it is not valid UTF-8 also its
    // bytes in hexadecimal under name + "_hex", so that no byte is lost.
    void pathMember(const char* name, const std::string& path);

    // Ends the document with a line break.
    void finish();

private:
    void open(char bracket);
    void close(char bracket);
    void beforeValue();
    void newline();
    void writeString(const std::string& text);

    OutputStream& out_;
    // One entry per open object or array: whether it has a member yet.
    std::vector<bool> has_members_;
    bool after_key_ = false;
};

// True when the bytes are valid UTF-8.
bool isValidUtf8(const std::string& text);

#endif
