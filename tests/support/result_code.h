#pragma once

// A link's transaction and exchange results as plain numbers (0 success, -1 a failed check,
// -2 no answer, -3 no transport), whatever type the link gives them in.
namespace vanetest {

template <typename Result>
constexpr int code(Result result)
{
    return static_cast<int>(result);
}

} // namespace vanetest
