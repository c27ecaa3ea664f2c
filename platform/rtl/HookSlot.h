#pragma once
// A procedure slot that a lower package declares and a unit initialization of the system fills;
// finalization puts the empty value back. Calling an empty slot is a no-op returning a default value.

#include <functional>
#include <utility>

namespace Rtl {

template <class Signature> class HookSlot;

template <class R, class... Args> class HookSlot<R(Args...)> final {
public:
    using Function = std::function<R(Args...)>;

    void Set(Function fn) { m_fn = std::move(fn); }
    void Reset() { m_fn = nullptr; }
    bool Assigned() const { return static_cast<bool>(m_fn); }
    const Function& Get() const { return m_fn; }

    R operator()(Args... args) const {
        if (!m_fn) {
            if constexpr (std::is_void_v<R>)
                return;
            else
                return R{};
        }
        return m_fn(std::forward<Args>(args)...);
    }

private:
    Function m_fn;
};

} // namespace Rtl
