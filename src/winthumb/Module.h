#pragma once

// The count of live objects and server locks of texelary-thumbnails.dll: COM unloads the DLL only
// when it is zero (DllCanUnloadNow).

namespace texelary {

void LockModule();
void UnlockModule();
bool ModuleInUse();

} // namespace texelary
