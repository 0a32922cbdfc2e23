// The recording core's view of the real operating system.
#pragma once

#include "core/env.h"

namespace tallyrun::platform {

class SystemEnv : public Env {
 public:
  LocalTime Now() override;
  void AppendMomentText(std::string& out, const LocalTime& t) override;
  std::optional<ItemFacts> FactsOf(const std::string& path) override;
  Status AppendLines(const std::string& path, std::string_view lines) override;
  Status ReadChunks(const std::string& path,
                    const std::function<bool(std::string_view)>& sink) override;
  Status ReplaceFile(const std::string& path, std::string_view contents) override;
  void DecodeLegacyText(std::string_view bytes, std::string& out) override;
  std::optional<std::string> SystemCodePageText(std::string_view text) override;
};

}  // namespace tallyrun::platform
