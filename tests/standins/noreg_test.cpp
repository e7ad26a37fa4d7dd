// A library that loads but has no self-registration entry points.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI UpdexarNothing() { return 0; }
