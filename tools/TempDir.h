// A fresh directory under the system's temporary directory, removed with its contents at scope
// end; for the tests and benchmarks that hand files to peers. Path() is empty when none could
// be made. Threads: any, one object per thread.
#pragma once
#include <string>

namespace RealPeers {

class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

}  // namespace RealPeers
