#include "word/message_filter.h"

namespace quillet {

namespace {

class FilteredDispatch : public Dispatch {
public:
    FilteredDispatch(std::shared_ptr<Dispatch> target, IOleMessageFilter& filter)
        : m_target(std::move(target)), m_filter(filter) {}

    Variant invoke(const Invocation& call) override {
        // The server sees its own objects in the arguments, not our wrappers.
        Invocation inner = call;
        for (Variant& v : inner.positional) v = unwrap(v);
        for (NamedArgument& a : inner.named) a.value = unwrap(a.value);
        inner.value = unwrap(inner.value);
        for (;;) {
            try {
                Variant result = m_target->invoke(inner);
                // Objects reached through a filtered object are filtered too.
                if (result.isObject()) return Variant(m_filter.filtered(result.toObject()));
                return result;
            } catch (const CallRejected& rejected) {
                if (!m_filter.registered() ||
                    m_filter.RetryRejectedCall(0, 0, rejected.rejectType()) !=
                        IOleMessageFilter::kRetryImmediately)
                    throw;
            }
        }
    }

    static Variant unwrap(const Variant& v) {
        if (!v.isObject()) return v;
        const Object object = v.toObject();
        if (auto* filtered = dynamic_cast<FilteredDispatch*>(object.dispatch().get()))
            return Variant(Object(filtered->m_target));
        return v;
    }

private:
    std::shared_ptr<Dispatch> m_target;
    IOleMessageFilter& m_filter;
};

}  // namespace

int IOleMessageFilter::HandleInComingCall(int, int, int, void*) {
    return 0;
}

int IOleMessageFilter::RetryRejectedCall(int, int, int dwRejectType) {
    return dwRejectType == 2 ? kRetryImmediately : kCancelCall;
}

int IOleMessageFilter::MessagePending(int, int, int) {
    return 2;
}

Object IOleMessageFilter::filtered(const Object& object) {
    if (object.isNothing()) return object;
    if (dynamic_cast<FilteredDispatch*>(object.dispatch().get()) != nullptr) return object;
    return Object(std::make_shared<FilteredDispatch>(object.dispatch(), *this));
}

}  // namespace quillet
