// The DLL's entry points for COM: the class factories of the ThumbnailClasses, and whether the
// DLL may be unloaded.

#include "winthumb/Module.h"

#include "winthumb/ClassFactory.h"
#include "winthumb/ThumbnailClasses.h"

#include <atomic>
#include <new>

namespace texelary {

namespace {
std::atomic<long> g_moduleLocks{0};
} // namespace

void LockModule() {
    ++g_moduleLocks;
}

void UnlockModule() {
    --g_moduleLocks;
}

bool ModuleInUse() {
    return g_moduleLocks.load() != 0;
}

} // namespace texelary

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    for (const texelary::ThumbnailClass& entry : texelary::kThumbnailClasses) {
        if (IsEqualCLSID(clsid, entry.clsid)) {
            auto* factory = new (std::nothrow) texelary::ClassFactory(entry.kind);
            if (!factory) {
                return E_OUTOFMEMORY;
            }
            const HRESULT result = factory->QueryInterface(iid, object);
            factory->Release();
            return result;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return texelary::ModuleInUse() ? S_FALSE : S_OK;
}
