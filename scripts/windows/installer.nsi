; The Windows installer of Quorvane, made with NSIS by scripts/build-windows.sh:
;   makensis -DVERSION=1.0.0 -DSTAGE=<folder with the files> -DOUTFILE=<setup.exe> installer.nsi
Unicode true
; The program is 64-bit only; so is its installer.
Target amd64-unicode
!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

Name "Quorvane 梁上恒载计算 ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quorvane"
InstallDirRegKey HKLM "Software\Quorvane" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane"
!define MUI_ICON "${STAGE}\quorvane.ico"
!define MUI_UNICON "${STAGE}\quorvane.ico"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
  SetRegView 64
FunctionEnd

Section "Quorvane"
  SetShellVarContext all  ; start-menu entries for every user of the machine
  SetOutPath "$INSTDIR"
  File "${STAGE}\quorvane.exe"
  File "${STAGE}\quorvane-calc.exe"
  File "${STAGE}\quorvane-schedule.exe"
  File "${STAGE}\quorvane.ico"
  File "${STAGE}\quorvane-schedule.ico"
  File "/oname=说明.txt" "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Quorvane"
  CreateShortcut "$SMPROGRAMS\Quorvane\Quorvane 梁上恒载计算.lnk" "$INSTDIR\quorvane.exe" "" "$INSTDIR\quorvane.ico"
  CreateShortcut "$SMPROGRAMS\Quorvane\Quorvane 梁表.lnk" "$INSTDIR\quorvane-schedule.exe" "" "$INSTDIR\quorvane-schedule.ico"
  CreateShortcut "$SMPROGRAMS\Quorvane\说明.lnk" "$INSTDIR\说明.txt"
  CreateShortcut "$SMPROGRAMS\Quorvane\卸载 Quorvane.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "Software\Quorvane" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quorvane 梁上恒载计算"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tessmoor"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quorvane.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "http://quorvane.cn"
  ; The size that "Apps and features" shows, in KiB.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Delete "$INSTDIR\quorvane.exe"
  Delete "$INSTDIR\quorvane-calc.exe"
  Delete "$INSTDIR\quorvane-schedule.exe"
  Delete "$INSTDIR\quorvane.ico"
  Delete "$INSTDIR\quorvane-schedule.ico"
  Delete "$INSTDIR\说明.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Quorvane\*.lnk"
  RMDir "$SMPROGRAMS\Quorvane"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Quorvane"
  ; The calculation report is the user's own work: it stays.
SectionEnd
