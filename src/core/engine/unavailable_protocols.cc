#include "engine/unavailable_protocols.h"

namespace quillet {

namespace {
constexpr char kNotBuilt[] = "The mail protocols are not available in this build yet.";
}

int UnavailableProtocols::OpenRcvSession(int account) {
  engine_.RecordInfo(kNotBuilt, kKindError, account);
  return -1;
}

int UnavailableProtocols::OpenSendSession(int account) {
  engine_.RecordInfo(kNotBuilt, kKindError, account);
  return -1;
}

}  // namespace quillet
