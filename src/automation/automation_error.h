// The one failure type of late-bound calls: a refusal by the object called (unknown member, wrong
// or missing argument, value out of range, file not written) arrives as an AutomationError.
// It carries the member it concerns; it does not carry COM error codes.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace quillet {

class AutomationError : public std::runtime_error {
public:
    // `member` names the member as "Class.Member" (may be empty when not yet known); `detail`
    // says what went wrong. The message is "Class.Member: detail", or the detail alone.
    AutomationError(std::u16string member, std::u16string detail);
    explicit AutomationError(std::u16string detail) : AutomationError(u"", std::move(detail)) {}

    const std::u16string& member() const { return m_member; }
    const std::u16string& detail() const { return m_detail; }
    // The full message as program text.
    std::u16string message() const;

private:
    std::u16string m_member;
    std::u16string m_detail;
};

}  // namespace quillet
