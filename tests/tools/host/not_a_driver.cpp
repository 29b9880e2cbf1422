// A shared library that loads fine but is no driver plug-in: it has no getSharedLibrary.
extern "C" __attribute__((visibility("default"))) int vaneHostTestAnswer() { return 42; }
