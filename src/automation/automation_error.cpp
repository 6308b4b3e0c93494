#include "automation/automation_error.h"

#include "platform/utf.h"

namespace quillet {

namespace {

std::u16string compose(const std::u16string& member, const std::u16string& detail) {
    if (member.empty()) return detail;
    std::u16string message;
    message.reserve(member.size() + 2 + detail.size());
    message.append(member).append(u": ").append(detail);
    return message;
}

}  // namespace

AutomationError::AutomationError(std::u16string member, std::u16string detail)
    : std::runtime_error(toUtf8(compose(member, detail))),
      m_member(std::move(member)),
      m_detail(std::move(detail)) {}

std::u16string AutomationError::message() const {
    return compose(m_member, m_detail);
}

}  // namespace quillet
