#include <cstdio>
#include <string>
#include <vector>

#include "headless_app.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return quillet::RunHeadlessApp(args, quillet::DefaultDirectories(), stdout, stderr);
}
