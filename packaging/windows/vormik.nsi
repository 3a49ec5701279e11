; The Windows installer of the console (NSIS, Unicode). scripts/package-windows.sh
; passes VERSION, STAGE (the unpacked zip's folder) and OUTFILE.
; 64-bit like the program: it runs where the program runs, and needs no 32-bit layer.
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vormik"
; The program takes this file beside it for the sign of an installed copy and
; then keeps its settings under %APPDATA%\Vormik (platform/filetype.h).
!define UNINSTALLER "vormik-uninstall.exe"

Name "Vormik ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vormik"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "Vormik ${VERSION}"

!define MUI_ICON "${STAGE}\vormik.ico"
!define MUI_UNICON "${STAGE}\vormik.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\vormik.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Section "Vormik"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateDirectory "$SMPROGRAMS\Vormik"
  CreateShortcut "$SMPROGRAMS\Vormik\Vormik.lnk" "$INSTDIR\vormik.exe" "" "$INSTDIR\vormik.ico"
  CreateShortcut "$SMPROGRAMS\Vormik\Удалить Vormik.lnk" "$INSTDIR\${UNINSTALLER}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vormik — пульт преподавателя лингафонного кабинета"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Vormik"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vormik.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Vormik\Vormik.lnk"
  Delete "$SMPROGRAMS\Vormik\Удалить Vormik.lnk"
  RMDir "$SMPROGRAMS\Vormik"
  ; The program registers .cld for itself at each start; the keys go with it
  ; unless another program has taken the type since.
  ReadRegStr $0 HKCR ".cld" ""
  StrCmp $0 "Vormik" 0 +2
    DeleteRegKey HKCR ".cld"
  DeleteRegKey HKCR "Vormik"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The users' settings under %APPDATA% stay theirs.
  RMDir /r "$INSTDIR"
SectionEnd
