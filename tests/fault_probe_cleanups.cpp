// A frame with C++ cleanups (its unwind data names the C++ personality routine)
// above a processor fault: the fault is still reported.
#include <string>

extern int* volatile Nowhere;  // fault_probe.cpp's address that holds no code

void __attribute__((noinline)) FaultUnderCleanups() {
  std::string held(100, 'x');  // destroyed on unwinding: a cleanup in this frame
  *Nowhere = static_cast<int>(held.size());
}
