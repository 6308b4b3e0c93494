// The retry rule for calls that a busy automation server rejects, and a Dispatch wrapper that
// applies it: a call rejected with "call again later" is made again at once, as often as it is
// rejected; any other rejection fails the call. Our own document engine is never busy; a server
// that can be raises CallRejected.
#pragma once

#include "automation/automation_error.h"
#include "automation/object.h"

#include <memory>

namespace quillet {

// A call the server refused without acting on it; rejectType 2 means "busy, call again later".
class CallRejected : public AutomationError {
public:
    CallRejected(std::u16string member, int rejectType)
        : AutomationError(std::move(member), u"the call was rejected"), m_rejectType(rejectType) {}
    int rejectType() const { return m_rejectType; }

private:
    int m_rejectType;
};

class IOleMessageFilter {
public:
    static constexpr int kRetryImmediately = 99;
    static constexpr int kCancelCall = -1;

    // An incoming call is handled: 0.
    int HandleInComingCall(int dwCallType, int htaskCaller, int dwTickCount, void* lpInterfaceInfo);
    // 99 (retry at once) for reject type 2, else -1 (the call fails).
    int RetryRejectedCall(int htaskCallee, int dwTickCount, int dwRejectType);
    // 2: let the pending message be processed and keep waiting.
    int MessagePending(int htaskCallee, int dwTickCount, int dwPendingType);

    // While registered, objects made by filtered() retry rejected calls.
    void RegisterFilter() { m_registered = true; }
    void RevokeFilter() { m_registered = false; }
    bool registered() const { return m_registered; }

    // `object` with this filter applied to every call on it and on the objects it returns.
    Object filtered(const Object& object);

private:
    bool m_registered = false;
};

}  // namespace quillet
