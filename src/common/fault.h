// An internal failure of vexlo's own code. It carries a message, travels up to
// the Python boundary as a C++ exception and becomes a PanicException there;
// nothing below the boundary catches it.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace vexlo {

class Fault : public std::exception {
public:
    explicit Fault(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// Cold path kept out of line so that callers' fast paths stay small.
[[noreturn]] void raise_fault(std::string message);

}  // namespace vexlo
