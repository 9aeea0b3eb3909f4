#pragma once
// The capture helper of this build beside the executable path, where the
// live packet source looks for it, as an installation has it.

#include <filesystem>
#include <system_error>

#include "platform/System.h"

namespace corvina::test {

inline void PlaceCaptureHelper() {
  std::error_code alreadyThere;
  std::filesystem::create_symlink(
      CORVINA_CAPTURE_HELPER,
      std::filesystem::path(ExecutablePath()).parent_path() / "corvina-capture", alreadyThere);
}

}  // namespace corvina::test
