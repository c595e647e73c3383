#include <string>

#include "Shell.h"
#include "Win32Text.h"
#include "WinPrelude.h"  // last: see there

// The system's own: it searches the current directory and then the path, starts the program
// detached and answers with a value above 32, or with its error value.
intptr_t ShellExecute(HWND, const std::string& verb, const std::string& file, const std::string& parameters,
                      const std::string& directory, int showCmd) {
  const std::wstring v = WideFromCp1252(verb), f = WideFromCp1252(file), p = WideFromCp1252(parameters),
                     d = WideFromCp1252(directory);
  return reinterpret_cast<intptr_t>(ShellExecuteW(nullptr, verb.empty() ? nullptr : v.c_str(), f.c_str(),
                                                  parameters.empty() ? nullptr : p.c_str(),
                                                  directory.empty() ? nullptr : d.c_str(), showCmd));
}
