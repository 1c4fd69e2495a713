; The Windows installer: Texelary for the user who runs it, without administrator rights. Both
; programs go to %LOCALAPPDATA%\Programs\Texelary, with a Start-menu entry, .mm project files
; opening in Texelary, and an uninstaller listed among the user's programs; everything it writes
; to the registry is under HKEY_CURRENT_USER. The build's `installer` target runs
;   makensis -DVERSION=0.1.0 -DFILES=FOLDER -DICON=texelary.ico -DOUTFILE=SETUP.exe texelary.nsi
; where FOLDER holds texelary.exe, texelary-convert.exe, texelary-thumbnails.dll, README.md and
; LICENSE. Explorer shows thumbnails of .wal, .m8, .m32, .swl and .wad files through the DLL, one
; COM class per extension, registered for this user only.
; /S installs (or uninstalls) without asking anything; /D=FOLDER, last, installs into FOLDER.

!ifndef VERSION | FILES | ICON | OUTFILE
    !error "Give VERSION, FILES, ICON and OUTFILE with -D"
!endif

Unicode true
; The programs are 64-bit, and so are the installer and the uninstaller.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!define PUBLISHER "The Texelary developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Texelary"
!define PROGID "Texelary.Project"
!define SHORTCUT "$SMPROGRAMS\Texelary.lnk"
; Explorer's key for an extension's thumbnail handler, and our class for each extension: the same
; identifiers as src/winthumb/ThumbnailClasses.h.
!define THUMBNAIL_HANDLER "{e357fccd-a995-4576-b01f-234630154e96}"
!define CLSID_WAL "{3214dd4e-2d07-4064-853b-38fee03baf36}"
!define CLSID_M8 "{060f33b7-0748-4270-b7eb-471850b90b77}"
!define CLSID_M32 "{58ab317f-96db-438e-9a33-df145810540c}"
!define CLSID_SWL "{c91ade5b-c465-4a11-9256-c96214e153c9}"
!define CLSID_WAD "{385ef5f8-0d01-4169-9f37-d0dff158702f}"

Name "Texelary"
Caption "Texelary ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Texelary"
; Installing again goes where the last installation went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Texelary ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Texelary"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Texelary setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "GPL-3.0-or-later"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "Integration.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Setup will install Texelary ${VERSION} for you alone: it needs no \
administrator rights.$\r$\n$\r$\nClick Next to continue."
!define MUI_FINISHPAGE_RUN "$INSTDIR\texelary.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Texelary"

; The class CLSID served by the DLL, as the thumbnail handler of extension EXT.
!macro RegisterThumbnails EXT CLSID
    WriteRegStr HKCU "Software\Classes\CLSID\${CLSID}\InprocServer32" "" \
        "$INSTDIR\texelary-thumbnails.dll"
    WriteRegStr HKCU "Software\Classes\CLSID\${CLSID}\InprocServer32" "ThreadingModel" \
        "Apartment"
    WriteRegStr HKCU "Software\Classes\${EXT}\ShellEx\${THUMBNAIL_HANDLER}" "" "${CLSID}"
!macroend
; The extension is left to whichever handler took it over since.
!macro UnregisterThumbnails EXT CLSID
    ReadRegStr $0 HKCU "Software\Classes\${EXT}\ShellEx\${THUMBNAIL_HANDLER}" ""
    StrCmp $0 "${CLSID}" 0 +2
        DeleteRegKey HKCU "Software\Classes\${EXT}\ShellEx\${THUMBNAIL_HANDLER}"
    DeleteRegKey /ifempty HKCU "Software\Classes\${EXT}\ShellEx"
    DeleteRegKey /ifempty HKCU "Software\Classes\${EXT}"
    DeleteRegKey HKCU "Software\Classes\CLSID\${CLSID}"
!macroend

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Texelary"
    SetOutPath "$INSTDIR"
    File "${FILES}/texelary.exe"
    File "${FILES}/texelary-convert.exe"
    File "${FILES}/texelary-thumbnails.dll"
    File "${FILES}/README.md"
    File "${FILES}/LICENSE"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "${SHORTCUT}" "$INSTDIR\texelary.exe" "" "$INSTDIR\texelary.exe" 0 \
        SW_SHOWNORMAL "" "Convert batches of game textures"

    ; .mm project files open in Texelary, shown with its icon.
    WriteRegStr HKCU "Software\Classes\${PROGID}" "" "Texelary project"
    WriteRegStr HKCU "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\texelary.exe,0"
    WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open\command" "" \
        '"$INSTDIR\texelary.exe" "%1"'
    WriteRegStr HKCU "Software\Classes\.mm" "" "${PROGID}"
    WriteRegStr HKCU "Software\Classes\.mm\OpenWithProgids" "${PROGID}" ""

    !insertmacro RegisterThumbnails ".wal" "${CLSID_WAL}"
    !insertmacro RegisterThumbnails ".m8" "${CLSID_M8}"
    !insertmacro RegisterThumbnails ".m32" "${CLSID_M32}"
    !insertmacro RegisterThumbnails ".swl" "${CLSID_SWL}"
    !insertmacro RegisterThumbnails ".wad" "${CLSID_WAD}"
    ${NotifyShell_AssocChanged}

    ; The entry in the list of installed programs.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Texelary"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\texelary.exe,0"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
    ; Only the files the installer put there: the folder goes only when nothing else is left in it.
    Delete "$INSTDIR\texelary.exe"
    Delete "$INSTDIR\texelary-convert.exe"
    Delete "$INSTDIR\texelary-thumbnails.dll"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\LICENSE"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    Delete "${SHORTCUT}"

    ; .mm files are left to whichever program took them over since.
    ReadRegStr $0 HKCU "Software\Classes\.mm" ""
    StrCmp $0 "${PROGID}" 0 +2
        DeleteRegValue HKCU "Software\Classes\.mm" ""
    DeleteRegValue HKCU "Software\Classes\.mm\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty HKCU "Software\Classes\.mm\OpenWithProgids"
    DeleteRegKey /ifempty HKCU "Software\Classes\.mm"
    DeleteRegKey HKCU "Software\Classes\${PROGID}"
    !insertmacro UnregisterThumbnails ".wal" "${CLSID_WAL}"
    !insertmacro UnregisterThumbnails ".m8" "${CLSID_M8}"
    !insertmacro UnregisterThumbnails ".m32" "${CLSID_M32}"
    !insertmacro UnregisterThumbnails ".swl" "${CLSID_SWL}"
    !insertmacro UnregisterThumbnails ".wad" "${CLSID_WAD}"
    ${NotifyShell_AssocChanged}

    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
