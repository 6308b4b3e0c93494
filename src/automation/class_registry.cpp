#include "automation/class_registry.h"

#include "automation/automation_error.h"
#include "automation/member_table.h"

#include <map>
#include <mutex>

namespace quillet {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::u16string, ClassFactory> factories;  // by lower-cased identifier
};

Registry& registry() {
    static Registry r;
    return r;
}

}  // namespace

void registerClass(std::u16string_view progId, ClassFactory factory) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    r.factories[detail::memberKey(progId)] = std::move(factory);
}

void unregisterClass(std::u16string_view progId) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    r.factories.erase(detail::memberKey(progId));
}

bool IsClassRegistered(std::u16string_view progId) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    return r.factories.contains(detail::memberKey(progId));
}

Object CreateObject(std::u16string_view progId) {
    ClassFactory factory;
    {
        Registry& r = registry();
        const std::lock_guard lock(r.mutex);
        const auto found = r.factories.find(detail::memberKey(progId));
        if (found != r.factories.end()) factory = found->second;
    }
    const std::u16string where = u"CreateObject(" + std::u16string(progId) + u")";
    if (!factory) throw AutomationError(where, u"class not registered");
    try {
        return factory();
    } catch (...) {
        detail::rethrowForMember(where);
    }
}

bool IsWordInstalled() {
    return IsClassRegistered(u"Word.Application");
}

}  // namespace quillet
