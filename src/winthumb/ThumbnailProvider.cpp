#include "winthumb/ThumbnailProvider.h"

#include "winthumb/Module.h"
#include "winthumb/ThumbnailBitmap.h"

#include <new>

namespace texelary {

namespace {

// Read in pieces, so that a stream whose Stat lies about its size is still stopped at the limit.
constexpr ULONG kReadPiece = 1 << 20;

HRESULT HresultOf(ThumbnailError error) {
    switch (error) {
    case ThumbnailError::BadSize:
        return E_INVALIDARG;
    case ThumbnailError::OutOfMemory:
        return E_OUTOFMEMORY;
    case ThumbnailError::FileTooLarge:
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    default:
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    }
}

} // namespace

bool ReadWholeStream(IStream& stream, std::vector<std::uint8_t>& bytes, HRESULT& result) {
    const std::uint64_t limit = ThumbnailLayout::kMaxFileBytes;
    STATSTG stat{};
    if (SUCCEEDED(stream.Stat(&stat, STATFLAG_NONAME)) && stat.cbSize.QuadPart > limit) {
        result = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
        return false;
    }
    bytes.clear();
    for (;;) {
        const std::size_t at = bytes.size();
        bytes.resize(at + kReadPiece);
        ULONG got = 0;
        const HRESULT read = stream.Read(bytes.data() + at, kReadPiece, &got);
        bytes.resize(at + got);
        if (FAILED(read)) {
            result = read;
            return false;
        }
        if (bytes.size() > limit) {
            result = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
            return false;
        }
        if (got == 0) {
            result = S_OK;
            return true;
        }
    }
}

ThumbnailProvider::ThumbnailProvider(ThumbnailKind kind)
    : m_kind(kind) {
    LockModule();
}

ThumbnailProvider::~ThumbnailProvider() {
    UnlockModule();
}

HRESULT ThumbnailProvider::QueryInterface(REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IInitializeWithStream)) {
        *object = static_cast<IInitializeWithStream*>(this);
    } else if (IsEqualIID(iid, __uuidof(IThumbnailProvider))) {
        *object = static_cast<IThumbnailProvider*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG ThumbnailProvider::AddRef() {
    return ++m_references;
}

ULONG ThumbnailProvider::Release() {
    const ULONG left = --m_references;
    if (left == 0) {
        // A COM object owns itself: the last reference ends it.
        delete this;
    }
    return left;
}

HRESULT ThumbnailProvider::Initialize(IStream* stream, DWORD /*mode*/) {
    if (!stream) {
        return E_POINTER;
    }
    if (m_initialised) {
        return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    }
    try {
        HRESULT result = S_OK;
        if (!ReadWholeStream(*stream, m_file, result)) {
            m_file = {};
            return result;
        }
    } catch (const std::bad_alloc&) {
        m_file = {};
        return E_OUTOFMEMORY;
    }
    m_initialised = true;
    return S_OK;
}

HRESULT ThumbnailProvider::GetThumbnail(UINT size, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) {
    if (!bitmap || !alpha) {
        return E_POINTER;
    }
    *bitmap = nullptr;
    if (!m_initialised) {
        return E_UNEXPECTED;
    }
    if (size < 1 || size > static_cast<UINT>(ThumbnailLayout::kMaxThumbnailSide)) {
        return E_INVALIDARG;
    }
    try {
        ThumbnailFailure failure;
        const auto picture =
            MakeThumbnail(m_file, m_kind, static_cast<std::int32_t>(size), &failure);
        if (!picture) {
            return HresultOf(failure.error);
        }
        *bitmap = MakeThumbnailBitmap(*picture);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!*bitmap) {
        return E_OUTOFMEMORY;
    }
    *alpha = WTSAT_ARGB;
    return S_OK;
}

} // namespace texelary
