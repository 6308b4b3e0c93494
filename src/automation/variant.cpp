#include "automation/variant.h"

#include "automation/automation_error.h"
#include "automation/object.h"
#include "platform/ascii.h"
#include "platform/utf.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace quillet {

namespace {

// A decimal number spelled in `text` (surrounding blanks allowed), or false.
bool parseNumber(std::u16string_view text, double& out) {
    std::string ascii;
    for (char16_t c : text) {
        if (c > 0x7F) return false;
        ascii += static_cast<char>(c);
    }
    const auto first = ascii.find_first_not_of(" \t");
    if (first == std::string::npos) return false;
    const auto last = ascii.find_last_not_of(" \t");
    const char* begin = ascii.data() + first;
    const char* end = ascii.data() + last + 1;
    if (*begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, out);
    return ec == std::errc() && ptr == end;
}

[[noreturn]] void typeMismatch(const Variant& v, const char16_t* wanted) {
    throw AutomationError(u"type mismatch: " + v.describe() + u" is not " + wanted);
}

std::int32_t roundToInt(double d, const Variant& v) {
    const double r = std::nearbyint(d);  // the default rounding mode: half to even
    if (!(r >= std::numeric_limits<std::int32_t>::min() &&
          r <= std::numeric_limits<std::int32_t>::max()))
        throw AutomationError(u"overflow: " + v.describe() + u" is not a 32-bit integer");
    return static_cast<std::int32_t>(r);
}

}  // namespace

Variant::Variant(const Object& value) {
    if (value.isNothing())
        m_value = NothingTag{};
    else
        m_value = value.dispatch();
}

Variant Variant::nothing() {
    Variant v;
    v.m_value = NothingTag{};
    return v;
}

bool Variant::toBool() const {
    switch (type()) {
        case Type::Empty:
            return false;
        case Type::Bool:
            return std::get<bool>(m_value);
        case Type::Int:
            return std::get<std::int32_t>(m_value) != 0;
        case Type::Double:
            return std::get<double>(m_value) != 0.0;
        case Type::String: {
            const auto& s = std::get<std::u16string>(m_value);
            if (equalsIgnoringAsciiCase(s, u"true")) return true;
            if (equalsIgnoringAsciiCase(s, u"false")) return false;
            double d = 0;
            if (parseNumber(s, d)) return d != 0.0;
            break;
        }
        default:
            break;
    }
    typeMismatch(*this, u"a Boolean");
}

std::int32_t Variant::toInt() const {
    switch (type()) {
        case Type::Empty:
            return 0;
        case Type::Bool:
            return std::get<bool>(m_value) ? -1 : 0;
        case Type::Int:
            return std::get<std::int32_t>(m_value);
        case Type::Double:
            return roundToInt(std::get<double>(m_value), *this);
        case Type::String: {
            double d = 0;
            if (parseNumber(std::get<std::u16string>(m_value), d)) return roundToInt(d, *this);
            break;
        }
        default:
            break;
    }
    typeMismatch(*this, u"an integer");
}

double Variant::toDouble() const {
    switch (type()) {
        case Type::Empty:
            return 0.0;
        case Type::Bool:
            return std::get<bool>(m_value) ? -1.0 : 0.0;
        case Type::Int:
            return std::get<std::int32_t>(m_value);
        case Type::Double:
            return std::get<double>(m_value);
        case Type::String: {
            double d = 0;
            if (parseNumber(std::get<std::u16string>(m_value), d)) return d;
            break;
        }
        default:
            break;
    }
    typeMismatch(*this, u"a number");
}

std::u16string Variant::toString() const {
    switch (type()) {
        case Type::Empty:
            return {};
        case Type::Bool:
            return std::get<bool>(m_value) ? u"True" : u"False";
        case Type::Int:
            return fromUtf8(std::to_string(std::get<std::int32_t>(m_value)));
        case Type::Double: {
            char buffer[64];
            const auto [ptr, ec] =
                std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(m_value));
            return fromUtf8(std::string_view(buffer, ec == std::errc() ? ptr - buffer : 0));
        }
        case Type::String:
            return std::get<std::u16string>(m_value);
        default:
            break;
    }
    typeMismatch(*this, u"a text");
}

Object Variant::toObject() const {
    switch (type()) {
        case Type::Empty:
        case Type::Nothing:
            return Object();
        case Type::Object:
            return Object(std::get<std::shared_ptr<Dispatch>>(m_value));
        default:
            break;
    }
    typeMismatch(*this, u"an object");
}

bool Variant::operator==(const Variant& other) const {
    return m_value == other.m_value;
}

std::u16string Variant::describe() const {
    switch (type()) {
        case Type::Empty:
            return u"Empty";
        case Type::Nothing:
            return u"Nothing";
        case Type::Bool:
            return u"Bool " + toString();
        case Type::Int:
            return u"Int " + toString();
        case Type::Double:
            return u"Double " + toString();
        case Type::String:
            return u"String \"" + std::get<std::u16string>(m_value) + u"\"";
        case Type::Object:
            return u"Object";
    }
    return {};
}

}  // namespace quillet
