// A stand-in for the host library in the native build: a shared object named
// "Corvane.dll" that a test loads to see the module lookup find it by file name.
extern "C" int CorvaneStubLoaded() { return 1; }
