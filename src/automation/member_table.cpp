#include "automation/member_table.h"

#include "platform/ascii.h"
#include "platform/utf.h"

#include <exception>

namespace quillet {

std::u16string CallArgs::paramName(std::size_t i) const {
    return i < m_params.size() ? std::u16string(m_params[i])
                               : u"#" + Variant(int(i + 1)).toString();
}

const Variant& CallArgs::operator[](std::size_t i) const {
    if (!has(i)) throw AutomationError(u"argument " + paramName(i) + u" is missing");
    return *m_slots[i];
}

template <class F>
auto CallArgs::convert(std::size_t i, F f) const {
    const Variant& v = (*this)[i];
    try {
        return f(v);
    } catch (const AutomationError& e) {
        throw AutomationError(u"argument " + paramName(i) + u": " + e.detail());
    }
}

bool CallArgs::boolean(std::size_t i) const {
    return convert(i, [](const Variant& v) { return v.toBool(); });
}
int CallArgs::integer(std::size_t i) const {
    return convert(i, [](const Variant& v) { return int{v.toInt()}; });
}
double CallArgs::number(std::size_t i) const {
    return convert(i, [](const Variant& v) { return v.toDouble(); });
}
std::u16string CallArgs::text(std::size_t i) const {
    return convert(i, [](const Variant& v) { return v.toString(); });
}
Object CallArgs::object(std::size_t i) const {
    if (!has(i)) return Object();
    return convert(i, [](const Variant& v) { return v.toObject(); });
}

void CallArgs::outOfRange(std::size_t i) const {
    throw AutomationError(u"argument " + paramName(i) + u": " + (*this)[i].describe() +
                          u" is out of range");
}

void valueOutOfRange(const Variant& value) {
    throw AutomationError(u"value " + value.describe() + u" is out of range");
}

namespace detail {

std::u16string memberKey(std::u16string_view name) {
    return lowerAscii(name);
}

std::vector<const Variant*> bindArguments(const std::vector<std::u16string_view>& params,
                                          const Invocation& call) {
    std::vector<const Variant*> slots(params.size(), nullptr);
    if (call.positional.size() > params.size())
        throw AutomationError(u"too many arguments (" +
                              Variant(int(call.positional.size())).toString() + u", at most " +
                              Variant(int(params.size())).toString() + u")");
    for (std::size_t i = 0; i < call.positional.size(); ++i)
        if (!call.positional[i].isEmpty()) slots[i] = &call.positional[i];
    for (const NamedArgument& a : call.named) {
        const std::u16string key = memberKey(a.name);
        std::size_t i = 0;
        while (i < params.size() && memberKey(params[i]) != key) ++i;
        if (i == params.size()) throw AutomationError(u"unknown named argument " + a.name);
        if (slots[i] != nullptr || i < call.positional.size())
            throw AutomationError(u"argument " + a.name + u" is given twice");
        if (!a.value.isEmpty()) slots[i] = &a.value;
    }
    return slots;
}

void rethrowForMember(const std::u16string& qualifiedMember) {
    try {
        throw;
    } catch (const AutomationError& e) {
        if (!e.member().empty()) throw;
        throw AutomationError(qualifiedMember, e.detail());
    } catch (const std::exception& e) {
        throw AutomationError(qualifiedMember, fromUtf8(e.what()));
    }
}

void unknownMember(std::u16string_view className, std::u16string_view member) {
    throw AutomationError(std::u16string(className) + u"." + std::u16string(member),
                          u"unknown member");
}

}  // namespace detail

}  // namespace quillet
