#include "TempDir.h"

#include <atomic>
#include <filesystem>
#include <random>

namespace RealPeers {

TTempDir::TTempDir() {
  namespace fs = std::filesystem;
  static std::atomic<unsigned> made{0};
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) return;
  std::random_device random;
  // Made only when the name is new, so that two processes never share one.
  for (int attempt = 0; attempt < 100 && FPath.empty(); ++attempt) {
    const fs::path p = base / ("tftp-peer-" + std::to_string(random()) + "-" + std::to_string(made++));
    if (fs::create_directory(p, ec)) {
      fs::permissions(p, fs::perms::owner_all, fs::perm_options::replace, ec);
      FPath = p.string();
    }
  }
}

TTempDir::~TTempDir() {
  std::error_code ec;
  if (!FPath.empty()) std::filesystem::remove_all(FPath, ec);
}

}  // namespace RealPeers
