#pragma once

// The COM classes of texelary-thumbnails.dll, one per kind of texture file. Explorer hands a
// thumbnail handler a stream without the file's name, and a .wal of version 1 or an .swl has no
// signature to tell it by; so each extension is registered with a class of its own, which knows
// its kind. The installer (packaging/windows/texelary.nsi) writes the same identifiers.

#include "base/Win32.h"
#include "thumbnail/Thumbnail.h"

#include <array>
#include <objbase.h>

namespace texelary {

struct ThumbnailClass {
    ThumbnailKind kind;
    const wchar_t* extension;
    CLSID clsid;
};

// {3214dd4e-2d07-4064-853b-38fee03baf36} .wal, {060f33b7-0748-4270-b7eb-471850b90b77} .m8,
// {58ab317f-96db-438e-9a33-df145810540c} .m32, {c91ade5b-c465-4a11-9256-c96214e153c9} .swl,
// {385ef5f8-0d01-4169-9f37-d0dff158702f} .wad.
inline constexpr std::array<ThumbnailClass, 5> kThumbnailClasses = {{
    {ThumbnailKind::Wal,
     L".wal",
     {0x3214dd4e, 0x2d07, 0x4064, {0x85, 0x3b, 0x38, 0xfe, 0xe0, 0x3b, 0xaf, 0x36}}},
    {ThumbnailKind::M8,
     L".m8",
     {0x060f33b7, 0x0748, 0x4270, {0xb7, 0xeb, 0x47, 0x18, 0x50, 0xb9, 0x0b, 0x77}}},
    {ThumbnailKind::M32,
     L".m32",
     {0x58ab317f, 0x96db, 0x438e, {0x9a, 0x33, 0xdf, 0x14, 0x58, 0x10, 0x54, 0x0c}}},
    {ThumbnailKind::Swl,
     L".swl",
     {0xc91ade5b, 0xc465, 0x4a11, {0x92, 0x56, 0xc9, 0x62, 0x14, 0xe1, 0x53, 0xc9}}},
    {ThumbnailKind::Wad,
     L".wad",
     {0x385ef5f8, 0x0d01, 0x4169, {0x9f, 0x37, 0xd0, 0xdf, 0xf1, 0x58, 0x70, 0x2f}}},
}};

// The handler key Explorer looks under an extension's ShellEx key for.
inline constexpr const wchar_t* kThumbnailProviderKey = L"{e357fccd-a995-4576-b01f-234630154e96}";

} // namespace texelary
