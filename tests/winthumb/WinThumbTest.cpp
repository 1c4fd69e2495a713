// texelary-thumbnails.dll as Explorer uses it: made through COM by the class registered for an
// extension under HKEY_CURRENT_USER, initialised with a stream of the file, asked for a
// thumbnail. With TEXELARY_THUMBNAILS_DLL set, the test registers that DLL itself, with the keys
// the installer writes, and removes them afterwards; without it, it uses what the installer
// registered (tests/windows/installer-test runs it so).

#include "TestFiles.h"
#include "base/Win32.h"
#include "formats/mips/M32Format.h"
#include "thumbnail/Thumbnail.h"
#include "winthumb/ThumbnailClasses.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <objbase.h>
#include <propsys.h>
#include <shlwapi.h>
#include <string>
#include <thumbcache.h>
#include <vector>

namespace texelary::test {
namespace {

std::wstring ClsidText(const CLSID& clsid) {
    wchar_t text[64] = {};
    StringFromGUID2(clsid, text, 64);
    return text;
}

bool SetDefault(const std::wstring& key, const std::wstring& name, const std::wstring& value,
                HKEY root = HKEY_CURRENT_USER) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(root, key.c_str(), name.empty() ? nullptr : name.c_str(), REG_SZ,
                           value.c_str(), bytes) == ERROR_SUCCESS;
}

std::wstring ValueOf(const std::wstring& key, const wchar_t* name) {
    wchar_t text[1024] = {};
    DWORD bytes = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    return text;
}

std::wstring ServerKey(const ThumbnailClass& entry) {
    return L"Software\\Classes\\CLSID\\" + ClsidText(entry.clsid) + L"\\InprocServer32";
}

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Wine's COM finds classes under HKEY_LOCAL_MACHINE only, where Windows looks under
// HKEY_CURRENT_USER first: under wine the user's class keys are copied there, as they are.
bool MirrorUserClassesForWine() {
    if (!UnderWine()) {
        return false;
    }
    for (const ThumbnailClass& entry : kThumbnailClasses) {
        const std::wstring key = ServerKey(entry);
        SetDefault(key, L"", ValueOf(key, nullptr), HKEY_LOCAL_MACHINE);
        SetDefault(key, L"ThreadingModel", ValueOf(key, L"ThreadingModel"), HKEY_LOCAL_MACHINE);
    }
    return true;
}

void RemoveWineMirror() {
    for (const ThumbnailClass& entry : kThumbnailClasses) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                       (L"Software\\Classes\\CLSID\\" + ClsidText(entry.clsid)).c_str());
    }
}

// The keys the installer writes, for the DLL at `dll`.
void Register(const std::wstring& dll) {
    for (const ThumbnailClass& entry : kThumbnailClasses) {
        const std::wstring server = ServerKey(entry);
        ASSERT_TRUE(SetDefault(server, L"", dll));
        ASSERT_TRUE(SetDefault(server, L"ThreadingModel", L"Apartment"));
        ASSERT_TRUE(SetDefault(std::wstring(L"Software\\Classes\\") + entry.extension +
                                   L"\\ShellEx\\" + kThumbnailProviderKey,
                               L"", ClsidText(entry.clsid)));
    }
}

void Unregister() {
    for (const ThumbnailClass& entry : kThumbnailClasses) {
        RegDeleteTreeW(HKEY_CURRENT_USER,
                       (L"Software\\Classes\\CLSID\\" + ClsidText(entry.clsid)).c_str());
        RegDeleteTreeW(
            HKEY_CURRENT_USER,
            (std::wstring(L"Software\\Classes\\") + entry.extension + L"\\ShellEx").c_str());
    }
}

class WinThumb : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (const char* dll = std::getenv("TEXELARY_THUMBNAILS_DLL")) {
            const std::string path(dll);
            Register(std::wstring(path.begin(), path.end()));
            s_registered = true;
        }
        s_mirrored = MirrorUserClassesForWine();
    }
    static void TearDownTestSuite() {
        if (s_mirrored) {
            RemoveWineMirror();
        }
        if (s_registered) {
            Unregister();
        }
    }
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }

    static inline bool s_registered = false;
    static inline bool s_mirrored = false;
};

const ThumbnailClass& ClassOf(ThumbnailKind kind) {
    for (const ThumbnailClass& entry : kThumbnailClasses) {
        if (entry.kind == kind) {
            return entry;
        }
    }
    return kThumbnailClasses[0];
}

// The class an extension's thumbnail handler key names, as Explorer finds it.
CLSID RegisteredClass(const wchar_t* extension) {
    wchar_t text[64] = {};
    DWORD bytes = sizeof(text);
    CLSID clsid{};
    const std::wstring key =
        std::wstring(L"Software\\Classes\\") + extension + L"\\ShellEx\\" + kThumbnailProviderKey;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                     &bytes) == ERROR_SUCCESS) {
        CLSIDFromString(text, &clsid);
    }
    return clsid;
}

// The handler's answer for `file` of `kind` at `size`: its HRESULT, and the bitmap when it gave
// one.
HRESULT Thumbnail(ThumbnailKind kind, const std::vector<std::uint8_t>& file, UINT size,
                  HBITMAP& bitmap, WTS_ALPHATYPE& alpha) {
    bitmap = nullptr;
    IInitializeWithStream* init = nullptr;
    HRESULT result = CoCreateInstance(ClassOf(kind).clsid, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IInitializeWithStream, reinterpret_cast<void**>(&init));
    if (FAILED(result)) {
        ADD_FAILURE() << "CoCreateInstance failed: " << std::hex << result;
        return result;
    }
    IStream* stream = SHCreateMemStream(file.data(), static_cast<UINT>(file.size()));
    result = stream ? init->Initialize(stream, STGM_READ) : E_OUTOFMEMORY;
    if (stream) {
        stream->Release();
    }
    IThumbnailProvider* provider = nullptr;
    if (SUCCEEDED(result)) {
        result =
            init->QueryInterface(__uuidof(IThumbnailProvider), reinterpret_cast<void**>(&provider));
    }
    if (SUCCEEDED(result)) {
        result = provider->GetThumbnail(size, &bitmap, &alpha);
        provider->Release();
    }
    init->Release();
    return result;
}

std::vector<std::uint8_t> M32WithAlpha() {
    RgbaImage picture;
    picture.width = 16;
    picture.height = 8;
    for (std::int32_t y = 0; y < picture.height; ++y) {
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const auto alpha = static_cast<std::uint8_t>(x * 16);
            picture.pixels.insert(
                picture.pixels.end(),
                {static_cast<std::uint8_t>(x * 15), static_cast<std::uint8_t>(y * 30), 200, alpha});
        }
    }
    return WriteM32(picture).value_or(std::vector<std::uint8_t>{});
}

// Each extension names the class of its kind, as the installer wrote it.
TEST_F(WinThumb, EachExtensionNamesItsClass) {
    for (const ThumbnailClass& entry : kThumbnailClasses) {
        const std::wstring extension(entry.extension);
        SCOPED_TRACE(std::string(extension.begin(), extension.end()));
        EXPECT_TRUE(IsEqualCLSID(RegisteredClass(entry.extension), entry.clsid));
    }
}

// The bitmap's pixels, row 0 the top row whichever way the bitmap stores them.
std::vector<std::uint8_t> TopDownBits(HBITMAP bitmap, const BITMAP& shape) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = shape.bmWidth;
    info.bmiHeader.biHeight = -shape.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> bits(4 * static_cast<std::size_t>(shape.bmWidth) *
                                   static_cast<std::size_t>(shape.bmHeight));
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(shape.bmHeight), bits.data(),
                               &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == shape.bmHeight ? bits : std::vector<std::uint8_t>{};
}

struct SampleCase {
    const char* name;
    ThumbnailKind kind;
    std::vector<std::uint8_t> file;
};

// The bitmap is a top-down 32-bit DIB section whose every pixel is the core's thumbnail's, in
// blue, green, red, straight alpha.
TEST_F(WinThumb, ThumbnailIsTheCoresInBgraTopDown) {
    const SampleCase cases[] = {
        {"hopper.wal", ThumbnailKind::Wal, ReadAll(DataPath("wal/hopper.wal"))},
        {"an .m32 with alpha", ThumbnailKind::M32, M32WithAlpha()},
    };
    for (const SampleCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.file.empty());
        const auto expected = MakeThumbnail(c.file, c.kind, 128);
        ASSERT_TRUE(expected);
        HBITMAP bitmap = nullptr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        ASSERT_EQ(Thumbnail(c.kind, c.file, 128, bitmap, alpha), S_OK);
        EXPECT_EQ(alpha, WTSAT_ARGB);
        DIBSECTION section{};
        ASSERT_EQ(GetObjectW(bitmap, sizeof(section), &section), int{sizeof(section)});
        EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
        EXPECT_EQ(section.dsBmih.biWidth, expected->width);
        EXPECT_EQ(section.dsBm.bmHeight, expected->height);
        const std::vector<std::uint8_t> bits = TopDownBits(bitmap, section.dsBm);
        ASSERT_EQ(bits.size(), expected->pixels.size());
        std::size_t wrong = 0;
        for (std::size_t at = 0; at < expected->pixels.size(); at += 4) {
            const std::uint8_t* want = &expected->pixels[at];
            wrong += bits[at] != want[2] || bits[at + 1] != want[1] || bits[at + 2] != want[0] ||
                     bits[at + 3] != want[3];
        }
        EXPECT_EQ(wrong, 0u);
        DeleteObject(bitmap);
    }
}

// Damaged files, files past the size limit and sizes out of range give an error and no bitmap.
TEST_F(WinThumb, HostileFilesAndSizesAreRefused) {
    std::vector<std::uint8_t> huge(ThumbnailLayout::kMaxFileBytes + 1, 0);
    struct RefusedCase {
        const char* name;
        ThumbnailKind kind;
        std::vector<std::uint8_t> file;
        UINT size;
    };
    std::vector<std::uint8_t> hugeSides = ReadAll(DataPath("wal/hopper.wal"));
    hugeSides.resize(100);
    hugeSides[35] = 0x7f; // a width of over two thousand million
    const RefusedCase cases[] = {
        {"an empty .wal", ThumbnailKind::Wal, {}, 128},
        {"a .wal of huge sides", ThumbnailKind::Wal, hugeSides, 128},
        {"a .m8 of a few bytes", ThumbnailKind::M8, {2, 0, 0}, 128},
        {"a wad without a directory", ThumbnailKind::Wad, {'W', 'A', 'D', '2'}, 128},
        {"more than the largest file", ThumbnailKind::M32, huge, 128},
        {"a size of 0", ThumbnailKind::M32, M32WithAlpha(), 0},
        {"a size past the largest", ThumbnailKind::M32, M32WithAlpha(), 1u << 20},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        HBITMAP bitmap = nullptr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        EXPECT_TRUE(FAILED(Thumbnail(c.kind, c.file, c.size, bitmap, alpha)));
        EXPECT_EQ(bitmap, nullptr);
    }
}

} // namespace
} // namespace texelary::test
