// The root of every error the system raises.
//
// Each error class carries the name it is known by (for example
// "CouldNotBindSocketError"), so that a report such as the activation error
// line can print the class name beside the message without run-time type
// information tricks. Declare a family with VANTREL_ERROR_CLASS:
//
//   VANTREL_ERROR_CLASS(NetError, Exception);
//   VANTREL_ERROR_CLASS(SocketHandleError, NetError);
//
// Each declared class can be constructed from a message alone; derived
// classes pass their own name up through the protected constructor.
#ifndef VANTREL_BASE_EXCEPTION_H_
#define VANTREL_BASE_EXCEPTION_H_

#include <exception>
#include <string>
#include <utility>

namespace vantrel {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Exception("Exception", std::move(message)) {}

  // The class name as the system reports it; a string literal, never null.
  const char* ClassName() const noexcept { return class_name_; }
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }
  // A number that tells more about the error (an I/O error's operating
  // system code); 0 when the error carries none.
  int HelpContext() const noexcept { return help_context_; }

 protected:
  Exception(const char* class_name, std::string message)
      : class_name_(class_name), message_(std::move(message)) {}

  void SetHelpContext(int help_context) noexcept { help_context_ = help_context; }

 private:
  const char* class_name_;  // Static storage: always a literal.
  std::string message_;
  int help_context_ = 0;
};

// Errors that end a unit of work without being reported to the user.
class SilentError : public Exception {
 public:
  explicit SilentError(std::string message) : Exception("SilentError", std::move(message)) {}

 protected:
  SilentError(const char* class_name, std::string message)
      : Exception(class_name, std::move(message)) {}
};

}  // namespace vantrel

// Declares `class Name : public Base` with the two constructors every error
// class has: a public one from a message and a protected one for subclasses.
#define VANTREL_ERROR_CLASS(Name, Base)                                                         \
  class Name : public Base {                                                                    \
   public:                                                                                      \
    explicit Name(std::string message) : Base(#Name, std::move(message)) {}                     \
                                                                                                \
   protected:                                                                                   \
    Name(const char* class_name, std::string message) : Base(class_name, std::move(message)) {} \
  }

#endif  // VANTREL_BASE_EXCEPTION_H_
