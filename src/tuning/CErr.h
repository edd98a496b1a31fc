#pragma once

#include <string>

namespace TUN {

// Holds the message of the last failure of a tuning reader; an empty message means no error.
class CErr {
 public:
  CErr() = default;
  CErr(const CErr&) = default;
  CErr& operator=(const CErr&) = default;
  virtual ~CErr();

  // Replaces the message (a null message counts as empty). The line number is accepted for the
  // callers' convenience and does not enter the text. Answers whether the stored message is empty.
  bool SetError(const char* message, long line = -1);
  bool SetError(const std::string& message, long line = -1) { return SetError(message.c_str(), line); }
  const std::string& Message() const { return message_; }
  bool IsOk() const { return message_.empty(); }

 private:
  std::string message_;
};

}  // namespace TUN
