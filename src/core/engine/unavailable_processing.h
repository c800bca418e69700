#pragma once

#include "engine/engine.h"
#include "engine/protocols.h"

namespace quillet {

// Stands in for per-message processing while this build has none: every
// retrieved message fails with an error entry that says so, so it stays on the
// server, keeps being new, and nothing is deleted.
class UnavailableProcessing final : public MessageProcessor {
 public:
  explicit UnavailableProcessing(Engine& engine) : engine_(engine) {}
  int ProcessMessage(int account) override {
    engine_.RecordInfo("Message processing is not available in this build yet.", kKindError,
                       account);
    return 0;
  }

 private:
  Engine& engine_;
};

}  // namespace quillet
