#include "text.h"

#include <cstring>

namespace korvalen {

std::string TextArg::english() const {
    switch (kind) {
    case Kind::Number:
        return std::to_string(number);
    case Kind::Data:
        return data;
    case Kind::Nested:
        break;
    }
    return nested ? nested->english() : std::string();
}

std::string Text::english() const {
    if (format == nullptr) return {};
    std::string out;
    for (const char* p = format; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 'n' && count >= 0) {
            out += std::to_string(count);
            ++p;
            continue;
        }
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
            const auto index = static_cast<std::size_t>(p[1] - '1');
            if (index < args.size()) {
                out += args[index].english();
                ++p;
                continue;
            }
        }
        out += *p;
    }
    return out;
}

namespace {

bool sameChars(const char* a, const char* b) {
    return a == b || (a != nullptr && b != nullptr && std::strcmp(a, b) == 0);
}

} // namespace

bool TextArg::operator==(const TextArg& other) const {
    if (kind != other.kind) return false;
    switch (kind) {
    case Kind::Number:
        return number == other.number;
    case Kind::Data:
        return data == other.data;
    case Kind::Nested:
        break;
    }
    return nested && other.nested ? *nested == *other.nested : nested == other.nested;
}

bool Text::operator==(const Text& other) const {
    return sameChars(context, other.context) && sameChars(format, other.format) &&
           count == other.count && args == other.args;
}

} // namespace korvalen
