// The value of a late-bound call: an argument, a property value or a result. It is empty, a null
// object reference, a Boolean, an integer, a double, a text or an object, and converts between
// these as automation does; it is not a general-purpose dynamic type (no arrays, no dates).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace quillet {

class Dispatch;
class Object;

class Variant {
public:
    enum class Type { Empty, Nothing, Bool, Int, Double, String, Object };

    Variant() = default;
    Variant(bool value) : m_value(value) {}
    Variant(int value) : m_value(std::int32_t{value}) {}
    Variant(double value) : m_value(value) {}
    Variant(std::u16string value) : m_value(std::move(value)) {}
    Variant(std::u16string_view value) : m_value(std::u16string(value)) {}
    Variant(const char16_t* value) : m_value(std::u16string(value)) {}
    // An object; a handle that refers to nothing gives the null object reference.
    Variant(const Object& value);
    // Not a Boolean: a pointer of another kind must not convert silently.
    Variant(const char*) = delete;

    // The null object reference ("Nothing"), as passed for an absent object argument.
    static Variant nothing();

    Type type() const { return static_cast<Type>(m_value.index()); }
    bool isEmpty() const { return type() == Type::Empty; }
    bool isNothing() const { return type() == Type::Nothing; }
    bool isObject() const { return type() == Type::Object; }
    bool isString() const { return type() == Type::String; }
    bool isNumber() const { return type() == Type::Int || type() == Type::Double; }

    // Conversions as automation makes them; each throws AutomationError ("type mismatch", or
    // "overflow" for a number outside the integer range) when the value does not convert.
    // Booleans count as -1 (true) and 0 as numbers; numbers are true when not 0; texts convert
    // when they spell a number (or "True"/"False"); empty converts to 0, false and "".
    bool toBool() const;
    std::int32_t toInt() const;  // doubles round half to even
    double toDouble() const;
    std::u16string toString() const;  // numbers in decimal, Booleans as "True" and "False"
    // An object or the null object reference (an empty handle); empty gives an empty handle.
    Object toObject() const;

    // The same type and value; objects compare by identity.
    bool operator==(const Variant& other) const;

    // For messages and test output: "Int 12", "String \"Doc\"", "Object".
    std::u16string describe() const;

private:
    struct NothingTag {
        bool operator==(const NothingTag&) const = default;
    };
    std::variant<std::monostate, NothingTag, bool, std::int32_t, double, std::u16string,
                 std::shared_ptr<Dispatch>>
        m_value;
};

}  // namespace quillet
