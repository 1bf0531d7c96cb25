// A frame with C++ cleanups (its unwind data names the C++ personality routine)
// above a processor fault: the fault is still reported.
#include <string>

namespace {
int* volatile Nowhere = reinterpret_cast<int*>(0x1F40);
}

void __attribute__((noinline)) FaultUnderCleanups() {
  std::string held(100, 'x');  // destroyed on unwinding: a cleanup in this frame
  *Nowhere = static_cast<int>(held.size());
}
