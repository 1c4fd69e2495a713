#pragma once

// The class factory DllGetClassObject hands out for one of the ThumbnailClasses: it makes
// ThumbnailProviders of that class's kind.

#include "base/Win32.h"
#include "thumbnail/Thumbnail.h"

#include <atomic>
#include <objbase.h>

namespace texelary {

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(ThumbnailKind kind);
    ~ClassFactory();
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    std::atomic<ULONG> m_references{1};
    ThumbnailKind m_kind;
};

} // namespace texelary
