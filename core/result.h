// Result<T, E>: a value or an error value, for the sans-I/O cores (parsers, decoders).
// Incomplete input is a state of the caller's choosing ("need more"), never an error.
#pragma once

#include <cassert>
#include <utility>
#include <variant>

namespace core {

template <class E>
struct Unexpected {
    E error;
};

template <class E>
Unexpected<std::decay_t<E>> fail(E&& e) {
    return {std::forward<E>(e)};
}

template <class T, class E>
class [[nodiscard]] Result {
public:
    Result(T value) : m_v(std::in_place_index<0>, std::move(value)) {}
    template <class E2>
    Result(Unexpected<E2> e) : m_v(std::in_place_index<1>, std::move(e.error)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { assert(ok()); return std::get<0>(m_v); }
    const T& value() const& { assert(ok()); return std::get<0>(m_v); }
    T&& value() && { assert(ok()); return std::get<0>(std::move(m_v)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const E& error() const { assert(!ok()); return std::get<1>(m_v); }

private:
    std::variant<T, E> m_v;
};

// Result<void, E>: success carries nothing.
struct Ok {};

template <class E>
class [[nodiscard]] Result<void, E> {
public:
    Result() = default;
    Result(Ok) {}
    template <class E2>
    Result(Unexpected<E2> e) : m_failed(true), m_error(std::move(e.error)) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const E& error() const { assert(m_failed); return m_error; }

private:
    bool m_failed = false;
    E m_error{};
};

}  // namespace core
