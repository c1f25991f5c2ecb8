// The root of every exception the system raises: what() is the exact message the
// user or the log sees; className() names the system's class (EMyError, EAbZipInvalid, ...).
#pragma once

#include <stdexcept>
#include <string>

namespace core {

class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message)
        : std::runtime_error(message), m_message(message) {}
    virtual const char* className() const { return "Exception"; }
    // The whole message: what() is a C string and ends at the first NUL character (a lexer
    // failure names the character it stopped at, which may be a NUL), this does not.
    const std::string& message() const { return m_message; }

  private:
    std::string m_message;
};

// The whole message of any exception: message() for ours, what() for the others.
inline std::string messageOf(const std::exception& e) {
    if (const auto* ours = dynamic_cast<const Exception*>(&e)) return ours->message();
    return e.what();
}

}  // namespace core

// Declares an exception class CLASS deriving from BASE whose className() is "CLASS".
#define QL_DECLARE_EXCEPTION(CLASS, BASE)                         \
    class CLASS : public BASE {                                   \
      public:                                                     \
        using BASE::BASE;                                         \
        const char* className() const override { return #CLASS; } \
    }
