// Writes the demo scene (BuildScene(DemoSceneSpec())) to the path given, e.g.
//   make_demo_scene samples/demo/scene2.bin
// The committed samples/demo/scene2.bin is this program's output; a test checks that they agree.

#include <exception>
#include <iostream>

#include "support/scene_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_demo_scene PATH\n";
    return 1;
  }
  try {
    quorvex::testing::WriteFile(argv[1], quorvex::testing::BuildScene(quorvex::testing::DemoSceneSpec()));
  } catch (const std::exception& e) {
    std::cerr << "make_demo_scene: " << e.what() << "\n";
    return 2;
  }
  return 0;
}
