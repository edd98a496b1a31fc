#include "tuning/CErr.h"

namespace TUN {

CErr::~CErr() = default;

bool CErr::SetError(const char* message, long /*line*/) {
  message_ = message != nullptr ? message : "";
  return message_.empty();
}

}  // namespace TUN
