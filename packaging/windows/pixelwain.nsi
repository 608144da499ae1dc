; The Windows installer of Pixelwain, built by scripts/package-windows.sh, which defines
;   PXW_VERSION   the project's version
;   PXW_FILES     an include of two macros made from the staging tree (`cmake --install`):
;                 PXW_INSTALL_FILES, one File per installed file, and PXW_UNINSTALL_FILES,
;                 one Delete per file and one RMDir per folder, deepest first
;   PXW_SIZE_KB   the installed size, for the list of installed programs
;   PXW_OUTFILE   the installer to write
; It installs for every user of the machine: the program folder under Program Files, and the
; program's fixed folders c:\windows\lumaforge, c:\windows\forpxw and c:\windows\pxwtemp01.
; `/S` installs and uninstalls without a window.

Unicode true
Target amd64-unicode ; Wine runs an x86 installer under wine64 as a no-op that exits 0
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestDPIAware true

!include LogicLib.nsh
!include "${PXW_FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pixelwain"
; BUILTIN\Users by its SID, whose name differs in every language of Windows.
!define USERS_SID "*S-1-5-32-545"

Name "Pixelwain ${PXW_VERSION}"
OutFile "${PXW_OUTFILE}"
InstallDir "$PROGRAMFILES64\Pixelwain"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The program's texts name these folders under C:\windows, where only administrators may write
; on current Windows: the program's users get the right to change files in them.
!macro GrantUsersChange FOLDER
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "${FOLDER}" /grant ${USERS_SID}:(OI)(CI)M'
  Pop $0
  ${If} $0 != 0
    DetailPrint "Only administrators may write in ${FOLDER} (icacls: $0)."
    MessageBox MB_ICONEXCLAMATION|MB_OK "Only administrators may write in ${FOLDER}." /SD IDOK
  ${EndIf}
!macroend

; Without elevation (UAC turned off, or an account that is no administrator's) nothing could
; be written: say so at once rather than halfway.
!macro RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "Pixelwain is installed for every user of this computer: \
start this program as an administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
  SetShellVarContext all
!macroend

Function .onInit
  !insertmacro RequireAdministrator
FunctionEnd

Function un.onInit
  !insertmacro RequireAdministrator
FunctionEnd

Section "Pixelwain"
  CreateDirectory "$WINDIR\lumaforge"
  CreateDirectory "$WINDIR\forpxw"
  CreateDirectory "$WINDIR\pxwtemp01"
  !insertmacro GrantUsersChange "$WINDIR\pxwtemp01"
  !insertmacro GrantUsersChange "$WINDIR\forpxw"

  !insertmacro PXW_INSTALL_FILES

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Pixelwain.lnk" "$INSTDIR\pixelwain.exe" "" \
    "$INSTDIR\pixelwain.ico"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Pixelwain"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${PXW_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\pixelwain.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${PXW_SIZE_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put there and the folders it made, each only once empty: a file
; a user put in the program folder, lumaforge or forpxw stays, and so does its folder. The
; files directly in pxwtemp01 are the program's copies of the images of a run (the program
; itself empties that folder before every album), so they go; its subfolders are not touched.
Section "Uninstall"
  Delete "$SMPROGRAMS\Pixelwain.lnk"
  !insertmacro PXW_UNINSTALL_FILES
  Delete "$WINDIR\pxwtemp01\*.*"
  RMDir "$WINDIR\pxwtemp01"
  RMDir "$WINDIR\forpxw"
  RMDir "$WINDIR\lumaforge"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
