; The setup program of Murlavo, one per architecture. Built by installer/CMakeLists.txt:
;   makensis -DVERSION=x.y.z -DARCH=win64|win32 -DSTAGE=<staged files> -DRESOURCES=<res/>
;            -DOUTFILE=<setup.exe> murlavo.nsi
;
; Per-machine parts (the setup runs elevated): the program in Program Files (the 32-bit build
; in the 32-bit folder), the screen saver in the system folder of its architecture, the
; Start-menu folder of all users, the entry in "Add or remove programs".
; Per-user parts, for the account that runs the setup (an administrator installing for
; themselves, the usual case): the start-up entry (HKCU Run), the current screen saver, and
; the "Path" setting the program finds its help by.
;
; Command line: /S silent; /D=<folder> installation folder (last, unquoted);
;   /NOSTARTUP no start-up entry; /NOSAVER the current screen saver stays as it is.
; Uninstaller: /S silent; /REMOVEUSERDATA also deletes the user's library and settings.

Unicode true
!ifndef VERSION | ARCH | STAGE | RESOURCES | OUTFILE
  !error "Give -DVERSION -DARCH -DSTAGE -DRESOURCES -DOUTFILE"
!endif
!if "${ARCH}" == "win64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include x64.nsh

!define PRODUCT "Murlavo"
!define PUBLISHER "Orvane Inc."
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Murlavo"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SETTINGS_KEY "Software\Orvane Inc.\Murlavo"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_SEND 3

Name "${PRODUCT}"
OutFile "${OUTFILE}"
!if "${ARCH}" == "win64"
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES32\${PRODUCT}"
!endif
; An update goes where the previous version went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 1998 ${PUBLISHER}"

; The screen saver's full path as Windows must read it: a 32-bit setup on 64-bit Windows
; writes System32 but lands in SysWOW64 (file-system redirection), and the value that makes it
; the current screen saver must name where the file really is.
Var SaverPath
; The Help shortcut's target.
!if /FileExists "${STAGE}\help\mainpage.htm"
  !define HELP_FILE "help\mainpage.htm"
!else
  !define HELP_FILE "README.txt"
!endif

!define MUI_ICON "${RESOURCES}\murlavo.ico"
!define MUI_UNICON "${RESOURCES}\murlavo.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
; The progress page stays until Next: the finish page's choices are never skipped.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start the wallpaper changer now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartChangerNow
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${HELP_FILE}"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the help"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Ends a running wallpaper changer (its hidden window is titled "Murlavo"; WM_CLOSE ends it the
; way its "Close" command does), so that its program file can be replaced or deleted.
!macro CloseChanger
  StrCpy $R9 0
  ${Do}
    FindWindow $R8 "" "${PRODUCT}"
    ${If} $R8 == 0
    ${OrIf} $R9 >= 10
      ${Break}
    ${EndIf}
    SendMessage $R8 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    Sleep 200
    IntOp $R9 $R9 + 1
  ${Loop}
!macroend

!macro SetSaverPath
  StrCpy $SaverPath "$SYSDIR\Murlavo.scr"
  !if "${ARCH}" == "win32"
    ${If} ${RunningX64}
      StrCpy $SaverPath "$WINDIR\SysWOW64\Murlavo.scr"
    ${EndIf}
  !endif
!macroend

Section "Murlavo program and screen saver (required)" SecProgram
  SectionIn RO
  !insertmacro CloseChanger

  SetOutPath "$INSTDIR"
  File "${STAGE}\murlavo.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  !if /FileExists "${STAGE}\help\*"
    SetOutPath "$INSTDIR\help"
    File /r "${STAGE}\help\*"
    SetOutPath "$INSTDIR"
  !endif
  ; $SYSDIR is the system folder of this setup's architecture.
  File "/oname=$SYSDIR\Murlavo.scr" "${STAGE}\Murlavo.scr"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Murlavo Settings.lnk" "$INSTDIR\murlavo.exe" "" "$INSTDIR\murlavo.exe" 0
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Murlavo Wallpaper Changer.lnk" "$INSTDIR\murlavo.exe" "/v" "$INSTDIR\murlavo.exe" 0
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Help.lnk" "$INSTDIR\${HELP_FILE}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall.lnk" "$INSTDIR\uninstall.exe"
  SetShellVarContext current

  ; The program finds its help and About logo through this per-user setting.
  WriteRegStr HKCU "${SETTINGS_KEY}\Registration" "Path" "$INSTDIR"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\murlavo.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Kilobytes: the program folder and the screen saver.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  ${GetSize} "$SYSDIR" "/M=Murlavo.scr /S=0K /G=0" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make Murlavo the current screen saver" SecSaver
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SaverPath"
  ; Turns the screen saver on and tells the running programs.
  System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_SEND})'
SectionEnd

Section "Start the wallpaper changer when I log on" SecStartup
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\murlavo.exe" /v'
SectionEnd

Function .onInit
  !insertmacro SetSaverPath
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOSTARTUP" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecStartup}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NOSAVER" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecSaver}
  ${EndIf}
FunctionEnd

; The setup runs elevated; the changer must run as the user, not as administrator. The shell
; (running unelevated) opens the shortcut when it is handed to a new explorer.exe.
Function StartChangerNow
  SetShellVarContext all
  Exec '"$WINDIR\explorer.exe" "$SMPROGRAMS\${PRODUCT}\Murlavo Wallpaper Changer.lnk"'
  SetShellVarContext current
FunctionEnd

Section "un.Murlavo program, screen saver and shortcuts (required)" SecUnProgram
  SectionIn RO
  !insertmacro SetSaverPath
  !insertmacro CloseChanger

  Delete "$INSTDIR\murlavo.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  RMDir /r "$INSTDIR\help"
  Delete "$INSTDIR\uninstall.exe"
  ; Not recursive: files the user put into the folder stay, and so does the folder then.
  RMDir "$INSTDIR"

  ; The screen saver: when it is the current one, no screen saver is current any more.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == $SaverPath
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_SEND})'
  ${EndIf}
  Delete "$SYSDIR\Murlavo.scr"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\Murlavo Settings.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Murlavo Wallpaper Changer.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Help.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  SetShellVarContext current

  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 == '"$INSTDIR\murlavo.exe" /v'
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
  DeleteRegValue HKCU "${SETTINGS_KEY}\Registration" "Path"
  DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}\Registration"
  DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Orvane Inc."
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; Unselected by default: the picture library and the settings are the user's.
Section /o "un.Remove my picture library and settings" SecUnUserData
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Orvane Inc."
  Delete "$APPDATA\${PRODUCT}\Murlavo.ini"
  Delete "$APPDATA\${PRODUCT}\Murlavo.ini.bak"
  RMDir "$APPDATA\${PRODUCT}"
SectionEnd

Function un.onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEUSERDATA" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnUserData}
  ${EndIf}
FunctionEnd
