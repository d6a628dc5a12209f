; The Windows setup program of TorvaneTX, made by scripts/package-windows:
;   makensis -DVERSION=.. -DVERSION_NUMBER=a.b.c.d -DSTAGE=<folder> -DOUTFILE=<exe>
;            [-DWITH_X86] [-DWITH_WINDOW] TorvaneTX.nsi
; STAGE holds torvanetx-cli.exe, wirelet61.dll, TorvaneConvert.dll and
; README.txt; with WITH_X86 also x86\wirelet61.dll (the 32-bit control), with
; WITH_WINDOW the window's files as a windeployqt folder makes them, listed in
; STAGE\window-files.nsh and STAGE\window-delete.nsh.
; Installs per machine; /S installs silently, /D=<folder> chooses the folder.
; The operator's settings (HKCU\SOFTWARE\TorvaneTX) are never touched.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define PRODUCT "TorvaneTX"
!define PUBLISHER "TorvaneTX developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An earlier installation's folder, unless /D= names another.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_NUMBER}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "-Earlier installation elsewhere"
  ; An installation in another folder is removed first (its uninstaller takes
  ; its files and its registration), so one registration is left.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    DetailPrint "Removing the installation in $0"
    ExecWait '"$0\uninstall.exe" /S _?=$0'
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}
SectionEnd

Section "TorvaneTX station and TCP control" SecCore
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\torvanetx-cli.exe"
  File "${STAGE}\wirelet61.dll"
  File "${STAGE}\TorvaneConvert.dll"
  File "${STAGE}\README.txt"
  ClearErrors
  RegDLL "$INSTDIR\wirelet61.dll"
  ${If} ${Errors}
    DetailPrint "wirelet61.dll could not be registered"
    SetErrorLevel 3
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} station.lnk" "$INSTDIR\torvanetx-cli.exe" "station"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\README.lnk" "$INSTDIR\README.txt"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

!ifdef WITH_WINDOW
Section "TorvaneTX window (torvanetx.exe with Qt)" SecWindow
  SetOutPath "$INSTDIR"
  !include "${STAGE}\window-files.nsh"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\torvanetx.exe"
SectionEnd
!endif

!ifdef WITH_X86
Section "32-bit TCP control (for 32-bit programs)" SecX86
  SetOutPath "$INSTDIR\x86"
  File "${STAGE}\x86\wirelet61.dll"
  ; A 32-bit control is registered by the 32-bit regsvr32 of 64-bit Windows.
  ${If} ${FileExists} "$WINDIR\SysWOW64\regsvr32.exe"
    ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s "$INSTDIR\x86\wirelet61.dll"' $0
    DetailPrint "32-bit regsvr32 of x86\wirelet61.dll: exit $0"
  ${Else}
    DetailPrint "No SysWOW64\regsvr32.exe: the 32-bit control is installed, not registered"
  ${EndIf}
SectionEnd
!endif

Section "-Size"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  !ifdef WITH_X86
  ${If} ${FileExists} "$INSTDIR\x86\wirelet61.dll"
  ${AndIf} ${FileExists} "$WINDIR\SysWOW64\regsvr32.exe"
    ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s /u "$INSTDIR\x86\wirelet61.dll"'
  ${EndIf}
  Delete "$INSTDIR\x86\wirelet61.dll"
  RMDir "$INSTDIR\x86"
  !endif
  UnRegDLL "$INSTDIR\wirelet61.dll"
  Delete "$INSTDIR\torvanetx-cli.exe"
  Delete "$INSTDIR\wirelet61.dll"
  Delete "$INSTDIR\TorvaneConvert.dll"
  Delete "$INSTDIR\README.txt"
  !ifdef WITH_WINDOW
  !include "${STAGE}\window-delete.nsh"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  !endif
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} station.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\README.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: anything the operator put there stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
