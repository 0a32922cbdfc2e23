; The Windows installer. For one user (the default, no administrator rights):
; %LOCALAPPDATA%\Programs\Tallyrun, the user's own Start menu, Send To and
; programs list. For everyone (administrator rights): Program Files, the
; Start menu of all users and the machine's programs list. Either way the
; uninstaller removes exactly what the installer put there and nothing the
; user made (settings and logs stay).
;
; makensis -INPUTCHARSET UTF8 -DVERSION=1.2.0 -DEXE=Tallyrun.exe -DICON=tallyrun.ico
;          "-DCOPYRIGHT=Copyright (c) ..." -DOUT=Tallyrun-1.2.0-setup.exe tallyrun.nsi
;
; Silently: setup /S installs for the current user, setup /S /AllUsers for
; everyone; /D=folder (last) names the folder, otherwise an installed copy's
; folder is kept. Exit status 0 on success, 2 when nothing was installed
; (every file added so far is taken back).
Target amd64-unicode
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "nsDialogs.nsh"
!include "MUI2.nsh"

; A name no other program's uninstaller has, so that installing into a
; shared folder never replaces one, nor uninstalling removes one.
!define UNINSTALLER "Tallyrun-uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallyrun"

Name "Tallyrun"
OutFile "${OUT}"
; No InstallDir: $INSTDIR is empty in .onInit unless /D= named a folder.
; An administrator is asked to confirm, so that "for everyone" can be
; chosen; anyone else runs with their own rights and installs for themselves.
RequestExecutionLevel highest
SetCompressor /SOLID lzma
; A file that cannot be written stops the installation (silently too),
; rather than being skipped.
AllowSkipFiles off
ShowInstDetails nevershow
ShowUninstDetails nevershow
BrandingText "Tallyrun ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
Page custom ModePage ModePageLeave
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "Tallyrun"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "Tallyrun セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "${COPYRIGHT}"

Var AllUsers        ; 1: for everyone, 0: for the current user
Var FolderChosen    ; 1 once /D= or the directory page named the folder
Var DefaultFolder   ; where this mode installs unless told otherwise
Var IsAdmin
Var ModeRadio
; What was already there, so that a failed installation takes back only
; what it added.
Var HadExe
Var HadUninstaller
Var HadStartMenu
Var HadSendTo
Var HadKey
Var SendToLink
Var OldFolder       ; where the installed copy of this mode is, if any
Var OldUninstaller  ; and its uninstaller, as the entry names it
Var CheckFolder
Var ExistingParent  ; the deepest folder of $INSTDIR's that was already there

; The shell folders and SHCTX registry root of the chosen mode, and the
; folder an installed copy of that mode sits in.
Function UseMode
  ${If} $AllUsers == 1
    SetShellVarContext all
    StrCpy $DefaultFolder "$PROGRAMFILES64\Tallyrun"
  ${Else}
    SetShellVarContext current
    StrCpy $DefaultFolder "$LOCALAPPDATA\Programs\Tallyrun"
  ${EndIf}
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $DefaultFolder $0
  ${EndIf}
  ${If} $FolderChosen != 1
    StrCpy $INSTDIR $DefaultFolder
  ${EndIf}
FunctionEnd

Function .onInit
  SetRegView 64
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    StrCpy $IsAdmin 1
  ${Else}
    StrCpy $IsAdmin 0
  ${EndIf}
  ${If} $INSTDIR != ""
    StrCpy $FolderChosen 1
  ${EndIf}

  ; /AllUsers or /CurrentUser; without either, an installed copy's mode (the
  ; user's own first), else the current user.
  ${GetParameters} $1
  StrCpy $AllUsers ""
  ClearErrors
  ${GetOptions} $1 "/AllUsers" $0
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $1 "/CurrentUser" $0
  ${IfNot} ${Errors}
    ${If} $AllUsers == 1
      MessageBox MB_OK|MB_ICONSTOP "/AllUsers と /CurrentUser は同時に指定できません。" /SD IDOK
      Abort
    ${EndIf}
    StrCpy $AllUsers 0
  ${EndIf}
  ${If} $AllUsers == ""
    StrCpy $AllUsers 0
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == ""
      ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
      ${If} $0 != ""
      ${AndIf} $IsAdmin == 1
        StrCpy $AllUsers 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} $AllUsers == 1
  ${AndIf} $IsAdmin != 1
    MessageBox MB_OK|MB_ICONSTOP "すべてのユーザー用のインストールには管理者の権限が必要です。" /SD IDOK
    Abort
  ${EndIf}
  Call UseMode
FunctionEnd

Function ModePage
  !insertmacro MUI_HEADER_TEXT "インストールの種類" "Tallyrun を使うユーザーを選んでください。"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 0 100% 12u "自分だけ(&M)"
  Pop $ModeRadio
  ${NSD_CreateLabel} 12u 13u -12u 20u "あなたのユーザー フォルダー ($LOCALAPPDATA\Programs) にインストールします。管理者の権限は要りません。"
  Pop $0
  ${NSD_CreateRadioButton} 0 40u 100% 12u "このコンピューターのすべてのユーザー(&A)"
  Pop $1
  ${If} $IsAdmin == 1
    ${NSD_CreateLabel} 12u 53u -12u 20u "Program Files にインストールします。管理者の権限が必要です。"
  ${Else}
    ${NSD_CreateLabel} 12u 53u -12u 20u "Program Files にインストールします。管理者のアカウントで実行すると選べます。"
    EnableWindow $1 0
  ${EndIf}
  Pop $0
  ${If} $AllUsers == 1
    ${NSD_Check} $1
  ${Else}
    ${NSD_Check} $ModeRadio
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ModeRadio $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 0
  ${Else}
    StrCpy $AllUsers 1
  ${EndIf}
  Call UseMode
FunctionEnd

Function DirectoryLeave
  ${If} $INSTDIR != $DefaultFolder
    StrCpy $FolderChosen 1
  ${EndIf}
FunctionEnd

; $CheckFolder\Tallyrun.exe cannot be replaced or removed while it runs
; (nor where the user may not write): the user closes it and tries again, or
; cancels.
!macro CHECK_REPLACEABLE un what
  Function ${un}CheckReplaceable
    IfFileExists "$CheckFolder\Tallyrun.exe" 0 done
    retry:
      ClearErrors
      FileOpen $0 "$CheckFolder\Tallyrun.exe" a
      IfErrors 0 writable
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "$CheckFolder\Tallyrun.exe を${what}。$\r$\nTallyrun が起動していれば終了してから、「再試行」を押してください。" \
        /SD IDCANCEL IDRETRY retry
      Abort
    writable:
      FileClose $0
    done:
  FunctionEnd
!macroend
!insertmacro CHECK_REPLACEABLE "" "置き換えられません"
!insertmacro CHECK_REPLACEABLE "un." "削除できません"

!macro FAIL_UNLESS_WRITTEN what
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "書き込めません: ${what}" /SD IDOK
    Abort
  ${EndIf}
!macroend

Section "Tallyrun"
  ${If} ${FileExists} "$INSTDIR\Tallyrun.exe"
    StrCpy $HadExe 1
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    StrCpy $HadUninstaller 1
  ${EndIf}
  ${If} ${FileExists} "$SMPROGRAMS\Tallyrun.lnk"
    StrCpy $HadStartMenu 1
  ${EndIf}
  ClearErrors
  EnumRegValue $0 SHCTX "${UNINSTALL_KEY}" 0
  ${IfNot} ${Errors}
    StrCpy $HadKey 1
  ${EndIf}
  ReadRegStr $OldFolder SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $OldUninstaller SHCTX "${UNINSTALL_KEY}" "UninstallString"
  StrCpy $0 $OldUninstaller 1
  ${If} $0 == '"'
    StrCpy $OldUninstaller $OldUninstaller "" 1
    StrCpy $OldUninstaller $OldUninstaller -1
  ${EndIf}
  ; Below it, the folders SetOutPath is about to make.
  StrCpy $ExistingParent $INSTDIR
  ${DoUntil} ${FileExists} "$ExistingParent\*.*"
    ${GetParent} $ExistingParent $ExistingParent
    ${IfThen} $ExistingParent == "" ${|} ${Break} ${|}
  ${Loop}
  StrCpy $CheckFolder $INSTDIR
  Call CheckReplaceable
  ; Installed elsewhere before: that copy goes once this one is in place.
  ${If} $OldFolder != ""
  ${AndIf} $OldFolder != $INSTDIR
    StrCpy $CheckFolder $OldFolder
    Call CheckReplaceable
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${EXE}"
  ClearErrors
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  !insertmacro FAIL_UNLESS_WRITTEN "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "$SMPROGRAMS\Tallyrun.lnk" "$INSTDIR\Tallyrun.exe" "" "$INSTDIR\Tallyrun.exe" 0
  !insertmacro FAIL_UNLESS_WRITTEN "$SMPROGRAMS\Tallyrun.lnk"

  ; Send To is always a user's own: the installing user's, kept in the
  ; programs-list entry so that the uninstaller finds it whoever runs it.
  SetShellVarContext current
  ${If} ${FileExists} "$SENDTO\Tallyrun.lnk"
    StrCpy $HadSendTo 1
  ${EndIf}
  StrCpy $SendToLink "$SENDTO\Tallyrun.lnk"
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${EndIf}
  CreateShortcut $SendToLink "$INSTDIR\Tallyrun.exe" "" "$INSTDIR\Tallyrun.exe" 0
  !insertmacro FAIL_UNLESS_WRITTEN $SendToLink

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Tallyrun"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tallyrun.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Tallyrun"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "SendToShortcut" $SendToLink
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  !insertmacro FAIL_UNLESS_WRITTEN "${UNINSTALL_KEY}"

  ; The earlier copy's files, which its entry (just replaced) proves ours:
  ; a copy in another folder, or an uninstaller of an earlier version's name.
  ${If} $OldUninstaller != ""
  ${AndIf} $OldUninstaller != "$INSTDIR\${UNINSTALLER}"
    Delete $OldUninstaller
  ${EndIf}
  ${If} $OldFolder != ""
  ${AndIf} $OldFolder != $INSTDIR
    Delete "$OldFolder\Tallyrun.exe"
    RMDir $OldFolder
  ${EndIf}
SectionEnd

; Whatever stopped the installation, what it added goes again; what was
; there before (an installed copy being upgraded) stays as it was.
Function .onInstFailed
  ${If} $HadKey != 1
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${EndIf}
  ${If} $HadSendTo != 1
  ${AndIf} $SendToLink != ""
    Delete $SendToLink
  ${EndIf}
  ${If} $HadStartMenu != 1
    Delete "$SMPROGRAMS\Tallyrun.lnk"
  ${EndIf}
  ${If} $HadUninstaller != 1
    Delete "$INSTDIR\${UNINSTALLER}"
  ${EndIf}
  ${If} $HadExe != 1
    Delete "$INSTDIR\Tallyrun.exe"
  ${EndIf}
  ; Leave the folder first, or it cannot be removed.
  SetOutPath $TEMP
  StrCpy $0 $INSTDIR
  ${Do}
    ${IfThen} $0 == $ExistingParent ${|} ${Break} ${|}
    ${IfThen} $0 == "" ${|} ${Break} ${|}
    RMDir $0
    ${GetParent} $0 $0
  ${Loop}
FunctionEnd

Function un.onInit
  SetRegView 64
  ; The programs list that names this folder: the user's own, or the
  ; machine's.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext current
  ${Else}
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
      SetShellVarContext all
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  StrCpy $CheckFolder $INSTDIR
  Call un.CheckReplaceable
  ; Tallyrun.exe first: while it stays, so does everything that lets the
  ; user finish the job (the entry, the uninstaller, the shortcuts).
  Delete "$INSTDIR\Tallyrun.exe"
  ${If} ${FileExists} "$INSTDIR\Tallyrun.exe"
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\Tallyrun.exe を削除できません。" /SD IDOK
    Abort
  ${EndIf}
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "SendToShortcut"
  ${If} $0 != ""
    Delete $0
  ${EndIf}
  Delete "$SMPROGRAMS\Tallyrun.lnk"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: a settings file or log kept here stays.
  RMDir "$INSTDIR"
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
