// A text for the user, built by the core without Qt: a format with %1 %2 ... in English and
// its arguments, which the editor and the command line translate before they show it (see
// link/coretext.h). english() gives the text as the core has always worded it.
//
// Every format is written as Text(KV_TEXT(context, format), {arguments}): the macro gives the
// context and the format, and lupdate finds the pair through it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#define KV_TEXT(context, format) context, format
// A format with %n, which takes the plural form its count needs (see Text::counted()).
#define KV_TEXT_N(context, format) context, format

namespace korvalen {

struct Text;

// One argument of a text: a number, a piece of data that is never translated (a control label
// such as "E1, BANK 1", a byte value, a preset name) or a text of its own.
struct TextArg {
    enum class Kind : std::uint8_t { Number, Data, Nested };
    Kind kind = Kind::Data;
    long long number = 0;
    std::string data;
    std::shared_ptr<const Text> nested;

    TextArg(int n) : kind(Kind::Number), number(n) {}
    TextArg(long long n) : kind(Kind::Number), number(n) {}
    TextArg(std::size_t n) : kind(Kind::Number), number(static_cast<long long>(n)) {}
    TextArg(std::string s) : kind(Kind::Data), data(std::move(s)) {}
    TextArg(const char* s) : kind(Kind::Data), data(s) {}
    TextArg(Text t);

    std::string english() const;
    bool operator==(const TextArg& other) const;
};

struct Text {
    const char* context = nullptr; // null: the format is not translated
    const char* format = nullptr;  // empty text when null
    std::vector<TextArg> args;     // %1, %2, ... in order
    long long count = -1;          // %n, the number a plural form follows; -1: none

    Text() = default;
    Text(const char* ctx, const char* fmt, std::vector<TextArg> a = {})
        : context(ctx), format(fmt), args(std::move(a)) {}
    static Text counted(const char* ctx, const char* fmt, long long n,
                        std::vector<TextArg> a = {}) {
        Text t(ctx, fmt, std::move(a));
        t.count = n;
        return t;
    }

    // A text that is only data, shown as it is in every language.
    static Text data(std::string s) { return Text(nullptr, "%1", {std::move(s)}); }

    bool empty() const { return format == nullptr; }
    // The text in English: every %N replaced by its argument, %n by the count.
    std::string english() const;
    // The same format in the same context with equal arguments.
    bool operator==(const Text& other) const;
};

inline TextArg::TextArg(Text t)
    : kind(Kind::Nested), nested(std::make_shared<const Text>(std::move(t))) {}

} // namespace korvalen
