#pragma once

// The object Explorer makes for a texture file: it reads the file from a stream
// (IInitializeWithStream) and draws its thumbnail (IThumbnailProvider) with the core's
// MakeThumbnail, for the kind of file its class was registered for.

#include "base/Win32.h"
#include "thumbnail/Thumbnail.h"

#include <atomic>
#include <cstdint>
#include <objbase.h>
#include <propsys.h>
#include <thumbcache.h>
#include <vector>

namespace texelary {

// The whole stream, at most ThumbnailLayout::kMaxFileBytes; false, with the reason in `result`,
// when it is longer or cannot be read.
bool ReadWholeStream(IStream& stream, std::vector<std::uint8_t>& bytes, HRESULT& result);

class ThumbnailProvider final : public IInitializeWithStream, public IThumbnailProvider {
public:
    explicit ThumbnailProvider(ThumbnailKind kind);
    ~ThumbnailProvider();
    ThumbnailProvider(const ThumbnailProvider&) = delete;
    ThumbnailProvider& operator=(const ThumbnailProvider&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, DWORD mode) override;
    HRESULT STDMETHODCALLTYPE GetThumbnail(UINT size, HBITMAP* bitmap,
                                           WTS_ALPHATYPE* alpha) override;

private:
    std::atomic<ULONG> m_references{1};
    ThumbnailKind m_kind;
    bool m_initialised = false;
    std::vector<std::uint8_t> m_file;
};

} // namespace texelary
