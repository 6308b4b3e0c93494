// How an automation server written in C++ lists its members: a table per class of member names
// (matched without regard to letter case), their parameter names, and the C++ code behind each
// read, call and write. The table binds positional and named arguments to parameters and turns
// every failure into an AutomationError that names "Class.Member". It holds no object state.
#pragma once

#include "automation/automation_error.h"
#include "automation/object.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillet {

// The arguments of one call, bound to the member's parameters by position or by name. An empty
// Variant counts as an argument left out. Conversion failures name the parameter.
class CallArgs {
public:
    CallArgs(const std::vector<std::u16string_view>& params, std::vector<const Variant*> slots,
             const Variant& value)
        : m_params(params), m_slots(std::move(slots)), m_value(value) {}

    bool has(std::size_t i) const { return i < m_slots.size() && m_slots[i] != nullptr; }
    // The argument; throws "argument NAME is missing" when it was left out.
    const Variant& operator[](std::size_t i) const;

    bool boolean(std::size_t i) const;
    bool boolean(std::size_t i, bool fallback) const { return has(i) ? boolean(i) : fallback; }
    int integer(std::size_t i) const;
    int integer(std::size_t i, int fallback) const { return has(i) ? integer(i) : fallback; }
    double number(std::size_t i) const;
    double number(std::size_t i, double fallback) const { return has(i) ? number(i) : fallback; }
    std::u16string text(std::size_t i) const;
    std::u16string text(std::size_t i, std::u16string fallback) const {
        return has(i) ? text(i) : std::move(fallback);
    }
    Object object(std::size_t i) const;  // an object or a null reference

    // The new value of a property write.
    const Variant& value() const { return m_value; }

    // Throws "argument NAME: VALUE is out of range".
    [[noreturn]] void outOfRange(std::size_t i) const;

private:
    std::u16string paramName(std::size_t i) const;
    template <class F>
    auto convert(std::size_t i, F f) const;

    const std::vector<std::u16string_view>& m_params;
    std::vector<const Variant*> m_slots;
    const Variant& m_value;
};

// Throws "value VALUE is out of range" for a property write.
[[noreturn]] void valueOutOfRange(const Variant& value);

namespace detail {
// Lower-cases ASCII letters: the key of a member name.
std::u16string memberKey(std::u16string_view name);
// Binds the call's arguments to `params`; throws for too many, unknown or repeated arguments.
std::vector<const Variant*> bindArguments(const std::vector<std::u16string_view>& params,
                                          const Invocation& call);
// Rethrows the exception in flight as an AutomationError naming `qualifiedMember`.
[[noreturn]] void rethrowForMember(const std::u16string& qualifiedMember);
[[noreturn]] void unknownMember(std::u16string_view className, std::u16string_view member);
}  // namespace detail

template <class T>
class MemberTable {
public:
    // Reads a property or calls a method; both ways of reaching a member run the same code.
    using Getter = std::function<Variant(T&, const CallArgs&)>;
    // Writes a property; the value is CallArgs::value().
    using Setter = std::function<void(T&, const CallArgs&)>;
    struct Member {
        Member(std::u16string_view n, std::vector<std::u16string_view> p, Getter g, Setter s = {})
            : name(n), params(std::move(p)), get(std::move(g)), put(std::move(s)) {}
        std::u16string_view name;
        std::vector<std::u16string_view> params;
        Getter get;  // may be empty: a write-only property
        Setter put;  // may be empty: a read-only property or a method
    };

    MemberTable(std::u16string_view className, std::initializer_list<Member> members)
        : MemberTable(className, std::vector<Member>(members)) {}
    MemberTable(std::u16string_view className, std::vector<Member> members)
        : m_className(className), m_members(std::move(members)) {
        for (std::size_t i = 0; i < m_members.size(); ++i)
            m_index.emplace(detail::memberKey(m_members[i].name), i);
    }

    const std::u16string& className() const { return m_className; }

    Variant invoke(T& self, const Invocation& call) const {
        const auto found = m_index.find(detail::memberKey(call.member));
        if (found == m_index.end()) detail::unknownMember(m_className, call.member);
        const Member& m = m_members[found->second];
        const std::u16string qualified = m_className + u"." + std::u16string(m.name);
        try {
            CallArgs args(m.params, detail::bindArguments(m.params, call), call.value);
            if (call.kind == InvokeKind::Put) {
                if (!m.put) throw AutomationError(u"cannot be set");
                m.put(self, args);
                return Variant();
            }
            if (!m.get) throw AutomationError(u"cannot be read");
            return m.get(self, args);
        } catch (...) {
            detail::rethrowForMember(qualified);
        }
    }

private:
    std::u16string m_className;
    std::vector<Member> m_members;
    std::unordered_map<std::u16string, std::size_t> m_index;
};

// A Dispatch whose members are the static table T::members() (CRTP).
template <class T>
class TableDispatch : public Dispatch {
public:
    Variant invoke(const Invocation& call) override {
        return T::members().invoke(static_cast<T&>(*this), call);
    }
};

}  // namespace quillet
