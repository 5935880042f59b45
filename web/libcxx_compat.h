// What the core uses of C++20's library that the libc++ of Debian's Emscripten (LLVM 14) does not have yet,
// written on what it has. Included ahead of every source of the web build; empty with a newer libc++.
#pragma once

#include <algorithm>
#include <iterator>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 15000
namespace std {

template <class T>
requires is_unbounded_array_v<T> unique_ptr<T> make_unique_for_overwrite(size_t size)
{
    return unique_ptr<T>(new remove_extent_t<T>[size]);
}

// A thread joined when it goes: the command line's folder walks start one. Under node without threads,
// hardware_concurrency() is 1 and the walks never start it.
class jthread
{
public:
    template <class Function> explicit jthread(Function&& function) : m_thread(std::forward<Function>(function)) {}
    jthread(const jthread&) = delete;
    jthread& operator=(const jthread&) = delete;
    ~jthread()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    thread m_thread;
};

namespace ranges {

struct CompatFindIf
{
    template <class Range, class Predicate> auto operator()(Range&& range, Predicate predicate) const
    {
        return std::find_if(std::begin(range), std::end(range), predicate);
    }
};
inline constexpr CompatFindIf find_if{};

struct CompatFill
{
    template <class Range, class Value> auto operator()(Range&& range, const Value& value) const
    {
        std::fill(std::begin(range), std::end(range), value);
        return std::end(range);
    }
};
inline constexpr CompatFill fill{};

} // namespace ranges
} // namespace std
#endif
