; The anchor of the install benchmark: a plain installer of the same payload
; stage, built the way people build one (solid LZMA, 64 MB dictionary, one
; section that places the files, one registry value and an uninstall entry).
;
;   makensis -DSTAGE=<folder> -DOUT=<exe> -DTARGET=<x86-unicode|amd64-unicode> anchor.nsi
Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
SetCompressorDictSize 64
Name "Lum Anchor"
OutFile "${OUT}"
RequestExecutionLevel admin
!if "${TARGET}" == "amd64-unicode"
  InstallDir "$PROGRAMFILES64\Lum Anchor"
!else
  InstallDir "$PROGRAMFILES\Lum Anchor"
!endif

Page directory
Page instfiles
UninstPage instfiles

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\LumAnchor"

Function .onInit
  !if "${TARGET}" == "amd64-unicode"
    SetRegView 64
  !endif
FunctionEnd

Section "Product"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*"
  WriteRegStr HKLM "Software\Lum Anchor" "InstallPath" "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Lum Anchor"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
SectionEnd

Function un.onInit
  !if "${TARGET}" == "amd64-unicode"
    SetRegView 64
  !endif
FunctionEnd

Section "Uninstall"
  DeleteRegKey HKLM "${UNINST_KEY}"
  DeleteRegKey HKLM "Software\Lum Anchor"
  RMDir /r "$INSTDIR"
SectionEnd
