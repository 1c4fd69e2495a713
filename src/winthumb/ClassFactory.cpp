#include "winthumb/ClassFactory.h"

#include "winthumb/Module.h"
#include "winthumb/ThumbnailProvider.h"

#include <new>

namespace texelary {

ClassFactory::ClassFactory(ThumbnailKind kind)
    : m_kind(kind) {
    LockModule();
}

ClassFactory::~ClassFactory() {
    UnlockModule();
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

ULONG ClassFactory::AddRef() {
    return ++m_references;
}

ULONG ClassFactory::Release() {
    const ULONG left = --m_references;
    if (left == 0) {
        // A COM object owns itself: the last reference ends it.
        delete this;
    }
    return left;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer) {
        return CLASS_E_NOAGGREGATION;
    }
    auto* provider = new (std::nothrow) ThumbnailProvider(m_kind);
    if (!provider) {
        return E_OUTOFMEMORY;
    }
    // The interface asked for holds the one reference from here on; none, and the object ends.
    const HRESULT result = provider->QueryInterface(iid, object);
    provider->Release();
    return result;
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock) {
        LockModule();
    } else {
        UnlockModule();
    }
    return S_OK;
}

} // namespace texelary
