// Late-bound objects: the Dispatch interface that an automation server implements, and the
// Object handle through which callers reach members by name (letter case does not matter) as a
// property read, a property write or a method call with positional and named arguments.
// Small enough that a COM IDispatch could stand behind it; it knows nothing of Word.
#pragma once

#include "automation/variant.h"

#include <concepts>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

enum class InvokeKind {
    Get,   // a property read (also a method call without parentheses; servers treat both alike)
    Put,   // a property write; the value is Invocation::value
    Call,  // a method call
};

struct NamedArgument {
    std::u16string name;
    Variant value;
};

// One late-bound call as the server receives it. Positional arguments come first, in order;
// named ones follow in the caller's order.
struct Invocation {
    InvokeKind kind = InvokeKind::Get;
    std::u16string_view member;
    std::vector<Variant> positional;
    std::vector<NamedArgument> named;
    Variant value;  // the new value of a Put
};

// What an automation server implements. `invoke` throws AutomationError for any refusal.
class Dispatch {
public:
    virtual ~Dispatch() = default;
    virtual Variant invoke(const Invocation& call) = 0;
};

// One argument of a call as the caller writes it: a value, or a value with a name (see named()).
struct Argument {
    template <class T>
    requires std::constructible_from<Variant, T> Argument(T&& v) : value(std::forward<T>(v)) {}
    Argument(std::u16string n, Variant v) : name(std::move(n)), value(std::move(v)) {}

    std::u16string name;  // empty for a positional argument
    Variant value;
};

// A named argument: obj.call(u"SaveAs", {path, named(u"FileFormat", 12)}).
inline Argument named(std::u16string_view name, Variant value) {
    return Argument(std::u16string(name), std::move(value));
}

// A reference to a late-bound object, shared: copies refer to the same object. An empty handle is
// the null object reference; calling a member through it throws AutomationError.
class Object {
public:
    Object() = default;
    explicit Object(std::shared_ptr<Dispatch> target) : m_target(std::move(target)) {}

    bool isNothing() const { return m_target == nullptr; }
    const std::shared_ptr<Dispatch>& dispatch() const { return m_target; }

    // Reads a property (with index arguments, as in item(3)). Positional arguments must come
    // before named ones.
    Variant get(std::u16string_view member, std::initializer_list<Argument> args = {}) const;
    // Writes a property.
    void put(std::u16string_view member, Variant value) const;
    // Calls a method and returns its result (empty for a method without one).
    Variant call(std::u16string_view member, std::initializer_list<Argument> args = {}) const;
    // get(...).toObject(): the common step along a chain such as Doc.Sections.item(1).
    Object at(std::u16string_view member, std::initializer_list<Argument> args = {}) const;

    // The same object.
    bool operator==(const Object& other) const = default;

private:
    Variant invoke(InvokeKind kind, std::u16string_view member,
                   std::initializer_list<Argument> args, Variant value) const;

    std::shared_ptr<Dispatch> m_target;
};

}  // namespace quillet
