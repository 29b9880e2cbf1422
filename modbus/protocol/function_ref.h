#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace vane::modbus {

template <typename Signature>
class FunctionRef;

// A callable passed down for the length of one call: a pointer to it and a plain function that
// calls it. Nothing is copied or allocated, unlike std::function; the callable must outlive the call.
template <typename Result, typename... Args>
class FunctionRef<Result(Args...)> {
public:
    template <typename Callable,
              typename = std::enable_if_t<!std::is_same_v<std::decay_t<Callable>, FunctionRef>>>
    FunctionRef(Callable&& callable) // NOLINT: converts like a function pointer does
        : object(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
          call([](void* target, Args... args) -> Result {
              return (*static_cast<std::remove_reference_t<Callable>*>(target))(std::forward<Args>(args)...);
          })
    {
    }

    Result operator()(Args... args) const { return call(object, std::forward<Args>(args)...); }

private:
    void* object;
    Result (*call)(void*, Args...);
};

} // namespace vane::modbus
