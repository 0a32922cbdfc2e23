; The Windows installer: Tallyrun.exe into Program Files\Tallyrun, a Start
; menu shortcut, a "Send To" shortcut, and an uninstaller in the programs list
; that removes exactly these and nothing the user made (settings and logs
; live in %APPDATA%\Tallyrun and stay).
; makensis -DVERSION=1.2.0 -DEXE=path\to\Tallyrun.exe -DOUT=Tallyrun-1.2.0-setup.exe tallyrun.nsi
; A 64-bit installer, like the program it installs.
Target amd64-unicode
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallyrun"

Name "Tallyrun"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Tallyrun"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails nevershow
ShowUninstDetails nevershow

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

LoadLanguageFile "${NSISDIR}\Contrib\Language files\Japanese.nlf"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "Tallyrun"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "Tallyrun Setup"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" ""

Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "Tallyrun"
  SetOutPath "$INSTDIR"
  File "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The Start menu for everyone; Send To is the installing user's own.
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\Tallyrun.lnk" "$INSTDIR\Tallyrun.exe"
  SetShellVarContext current
  CreateShortcut "$SENDTO\Tallyrun.lnk" "$INSTDIR\Tallyrun.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "SendToShortcut" "$SENDTO\Tallyrun.lnk"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tallyrun"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tallyrun.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tallyrun"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; The Send To shortcut is removed from where it was made, whoever
  ; uninstalls.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "SendToShortcut"
  StrCmp $0 "" +2
  Delete "$0"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Tallyrun.lnk"
  Delete "$INSTDIR\Tallyrun.exe"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: a settings file or log kept here stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
