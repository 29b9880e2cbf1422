// A plug-in whose getSharedLibrary hands out no driver.
class CDriveBaseClass;
extern "C" __attribute__((visibility("default"))) CDriveBaseClass* getSharedLibrary() { return nullptr; }
