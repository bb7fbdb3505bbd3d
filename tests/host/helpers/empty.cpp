// A DLL that carries nothing but its version block, for the version tests.
