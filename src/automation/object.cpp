#include "automation/object.h"

#include "automation/automation_error.h"

namespace quillet {

Variant Object::invoke(InvokeKind kind, std::u16string_view member,
                       std::initializer_list<Argument> args, Variant value) const {
    if (!m_target)
        throw AutomationError(std::u16string(member), u"called through an empty object reference");
    Invocation call;
    call.kind = kind;
    call.member = member;
    call.value = std::move(value);
    for (const Argument& a : args) {
        if (a.name.empty()) {
            if (!call.named.empty())
                throw AutomationError(std::u16string(member),
                                      u"a positional argument follows a named one");
            call.positional.push_back(a.value);
        } else {
            call.named.push_back({a.name, a.value});
        }
    }
    return m_target->invoke(call);
}

Variant Object::get(std::u16string_view member, std::initializer_list<Argument> args) const {
    return invoke(InvokeKind::Get, member, args, Variant());
}

void Object::put(std::u16string_view member, Variant value) const {
    invoke(InvokeKind::Put, member, {}, std::move(value));
}

Variant Object::call(std::u16string_view member, std::initializer_list<Argument> args) const {
    return invoke(InvokeKind::Call, member, args, Variant());
}

Object Object::at(std::u16string_view member, std::initializer_list<Argument> args) const {
    const Variant result = get(member, args);
    if (!result.isObject() && !result.isNothing() && !result.isEmpty())
        throw AutomationError(std::u16string(member), result.describe() + u" is not an object");
    return result.toObject();
}

}  // namespace quillet
