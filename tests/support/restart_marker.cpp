// A stand-in for the modem's restart program: started by name from the current directory, it
// leaves "restart-ran" there with the arguments it was given, so a test can see it ran.
#include <fstream>

int main(int argc, char** argv) {
  std::ofstream out("restart-ran", std::ios::binary | std::ios::trunc);
  for (int i = 1; i < argc; ++i) out << (i > 1 ? " " : "") << argv[i];
  out << "\n";
  return 0;
}
