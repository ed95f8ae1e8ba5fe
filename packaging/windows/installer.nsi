; The Orvella installer, built by the "installer" target:
;   makensis -DVERSION=2.0.8 -DBUILD=<build folder> -DOUTFILE=<setup.exe> [-DICON=<.ico>]
;            [-DPLUGIN=<Orvella.clap>] installer.nsi
; Installs the programs with their "bin" and "img" data folders into
; Program Files, a Start-menu entry and an uninstaller; with PLUGIN, the
; CLAP plugin with its own copy of "bin" into Common Files\CLAP\Orvella,
; where hosts look for plugins (in subfolders too). The uninstaller
; removes what was installed and nothing else: the presets and backups under
; %HOMEDRIVE%\Kestrova\Orvella stay.
Unicode true
; Without it a 32-bit installer under a 64-bit system reports success and installs nothing useful.
Target amd64-unicode

!include "LogicLib.nsh"
!include "MUI2.nsh"
!include "x64.nsh"

Name "Orvella ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kestrova\Orvella"
InstallDirRegKey HKLM "Software\Kestrova\Orvella" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
!if "${ICON}" != ""
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvella"

; The user's data folder, as the editor finds it: %HOMEDRIVE%\Kestrova\Orvella
; (the profile folder stands in when HOMEDRIVE is not set).
Var DataFolder
Function findDataFolder
  ReadEnvStr $DataFolder HOMEDRIVE
  ${If} $DataFolder == ""
    StrCpy $DataFolder $PROFILE
  ${EndIf}
  StrCpy $DataFolder "$DataFolder\Kestrova\Orvella"
FunctionEnd

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The finish page says where the user's files go and that they stay.
!define MUI_PAGE_CUSTOMFUNCTION_PRE findDataFolder
!define MUI_FINISHPAGE_TITLE "Orvella ${VERSION} is installed"
!define MUI_FINISHPAGE_TEXT "Start Orvella from the Start menu (Orvella).$\r$\n$\r$\nYour presets, backups and the preset list go to$\r$\n    $DataFolder\presets$\r$\nand saved status logs to your desktop. Uninstalling Orvella removes the program from $INSTDIR and keeps these files.$\r$\n$\r$\nThe pedal's USB bridge needs its virtual COM port driver: Windows Update installs it when the pedal is first plugged in."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Orvella"
  SetRegView 64
  ; For every user of the computer, as Program Files is.
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BUILD}\orvella.exe"
  File "${BUILD}\orvella-cli.exe"
!if "${ICON}" != ""
  File "/oname=orvella.ico" "${ICON}"
!endif
  SetOutPath "$INSTDIR\bin"
  File /r "${BUILD}\bin\*.*"
  SetOutPath "$INSTDIR\img"
  File /r "${BUILD}\img\*.*"
!ifdef PLUGIN
  SetOutPath "$COMMONFILES64\CLAP\Orvella"
  File "${PLUGIN}"
  SetOutPath "$COMMONFILES64\CLAP\Orvella\bin"
  File /r "${BUILD}\bin\*.*"
!endif
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The editor finds "bin" and "img" in its working directory.
  SetOutPath "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\Orvella"
  CreateShortcut "$SMPROGRAMS\Orvella\Orvella.lnk" "$INSTDIR\orvella.exe" "" "$INSTDIR\orvella.exe" 0
  CreateShortcut "$SMPROGRAMS\Orvella\Uninstall Orvella.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "Software\Kestrova\Orvella" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Orvella ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kestrova"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orvella.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Delete "$INSTDIR\orvella.exe"
  Delete "$INSTDIR\orvella-cli.exe"
  Delete "$INSTDIR\orvella.ico"
  ; The data folders hold only what the installer put there.
  RMDir /r "$INSTDIR\bin"
  RMDir /r "$INSTDIR\img"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$COMMONFILES64\CLAP\Orvella\Orvella.clap"
  RMDir /r "$COMMONFILES64\CLAP\Orvella\bin"
  RMDir "$COMMONFILES64\CLAP\Orvella"
  RMDir "$COMMONFILES64\CLAP"
  Delete "$SMPROGRAMS\Orvella\Orvella.lnk"
  Delete "$SMPROGRAMS\Orvella\Uninstall Orvella.lnk"
  RMDir "$SMPROGRAMS\Orvella"
  ; Only when empty: anything else in them is not the installer's.
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Kestrova\Orvella"
  DeleteRegKey /ifempty HKLM "Software\Kestrova"
SectionEnd
