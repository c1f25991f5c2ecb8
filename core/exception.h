// The root of every exception the system raises: what() is the exact message the
// user or the log sees; className() names the system's class (EMyError, EAbZipInvalid, ...).
#pragma once

#include <stdexcept>
#include <string>

namespace core {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    virtual const char* className() const { return "Exception"; }
};

}  // namespace core

// Declares an exception class CLASS deriving from BASE whose className() is "CLASS".
#define QL_DECLARE_EXCEPTION(CLASS, BASE)                              \
    class CLASS : public BASE {                                        \
    public:                                                            \
        using BASE::BASE;                                              \
        const char* className() const override { return #CLASS; }      \
    }
