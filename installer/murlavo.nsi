; The setup program of Murlavo, one per architecture. Built by installer/CMakeLists.txt:
;   makensis -DVERSION=x.y.z -DARCH=win64|win32 -DSTAGE=<staged files> -DRESOURCES=<res/>
;            -DFILELIST=<list of the staged files> -DOUTFILE=<setup.exe> murlavo.nsi
; The file list (written by installer/stage.cmake) defines the macro ReleaseFiles EACH, which
; inserts EACH "<folder below the program folder>" "<name>" once for every staged file that goes
; into the program folder.
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
;
; Before it changes a file, each of them asks the program's running windows to close (found by
; their class names) and waits for their processes to end. A file that still cannot be replaced
; or deleted (held open by another program) is replaced or deleted when Windows restarts: the
; setup says so at its end, and a silent run ends with exit code 3010 (a restart is needed)
; instead of 0.

Unicode true
!ifndef VERSION | ARCH | STAGE | RESOURCES | FILELIST | OUTFILE
  !error "Give -DVERSION -DARCH -DSTAGE -DRESOURCES -DFILELIST -DOUTFILE"
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
!define SYNCHRONIZE 0x00100000
!define IDCANCEL 2
; The class names of the program's windows (app/WindowNames.h).
!define CHANGER_CLASS "Murlavo.WallpaperChanger"
!define SETTINGS_CLASS "Murlavo.Settings"
!define SAVER_CLASS "Murlavo.ScreenSaver"
; How long one program may take to end once asked to close, in milliseconds. Its files stay
; locked until its process has ended, which comes a while after its last window has gone.
!define CLOSE_WAIT_MS 10000
; The exit code of a silent run after which a restart finishes the work.
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010

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
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION ShowHelpNow
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

; Asks every top-level window of the class $R0 to close (message $R1 with wParam $R2) and
; waits, at most CLOSE_WAIT_MS for each, for the window's process to end: its program file
; stays locked until then, not only until the window has gone. Returns $R3 = 1 when a window
; of that class is still there (one did not close when asked: it may be asking the user
; something, or it hangs), else 0. Windows of other classes, whatever their titles, are left
; alone.
!macro CloseWindowsOfClassFunction UN
Function ${UN}CloseWindowsOfClass
  ; Bounded: a program that keeps opening new windows does not hold the setup for ever.
  StrCpy $R4 0
  ${Do}
    FindWindow $R5 "$R0"
    ${If} $R5 == 0
      StrCpy $R3 0
      Return
    ${ElseIf} $R4 >= 16
      StrCpy $R3 1
      Return
    ${EndIf}
    IntOp $R4 $R4 + 1
    StrCpy $R6 0
    System::Call 'user32::GetWindowThreadProcessId(p $R5, *i .R6)'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i $R6) p .R7'
    SendMessage $R5 $R1 $R2 0 /TIMEOUT=2000
    ${If} $R7 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p $R7, i ${CLOSE_WAIT_MS})'
      System::Call 'kernel32::CloseHandle(p $R7)'
    ${Else}
      ; A process this setup may not open: at least its window must go.
      StrCpy $R8 0
      ${Do}
        System::Call 'user32::IsWindow(p $R5) i .R9'
        ${If} $R9 == 0
        ${OrIf} $R8 >= ${CLOSE_WAIT_MS}
          ${ExitDo}
        ${EndIf}
        Sleep 100
        IntOp $R8 $R8 + 100
      ${Loop}
    ${EndIf}
    System::Call 'user32::IsWindow(p $R5) i .R9'
    ${If} $R9 <> 0
      StrCpy $R3 1
      Return
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro CloseWindowsOfClassFunction ""
!insertmacro CloseWindowsOfClassFunction "un."

; Ends the program's running windows, so that its files can be replaced or deleted now.
; Settings first, and the user decides when one stays open: it may hold edits not saved yet
; (a changer, closing, would end the Settings dialog it opened without asking). Cancel stops
; here, before any file has changed; a silent run stops (exit code 2). Then the screen saver
; and the wallpaper changer, which hold nothing to lose; one that does not end keeps its files,
; which are then replaced or deleted at the next restart.
!macro CloseRunningPrograms UN
  ${Do}
    StrCpy $R0 "${SETTINGS_CLASS}"
    StrCpy $R1 ${WM_COMMAND}
    StrCpy $R2 ${IDCANCEL}
    Call ${UN}CloseWindowsOfClass
    ${If} $R3 == 0
      ${ExitDo}
    ${EndIf}
    !ifdef __UNINSTALL__
      !define /redef STILL_OPEN_CANCEL "Cancel stops removing ${PRODUCT}; nothing has been removed yet."
    !else
      !define /redef STILL_OPEN_CANCEL "Cancel stops the setup; nothing has been changed yet."
    !endif
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} Settings is still open, perhaps asking what to do with changes you have not saved.$\r$\n$\r$\nPlease close ${PRODUCT} Settings, then click Retry. ${STILL_OPEN_CANCEL}" /SD IDCANCEL IDCANCEL`
      Abort "${PRODUCT} Settings is still open."
    ${EndIf}
  ${Loop}
  StrCpy $R0 "${SAVER_CLASS}"
  StrCpy $R1 ${WM_CLOSE}
  StrCpy $R2 0
  Call ${UN}CloseWindowsOfClass
  StrCpy $R0 "${CHANGER_CLASS}"
  Call ${UN}CloseWindowsOfClass
!macroend

; Installs the staged file SOURCE as DIR\NAME. One that cannot be replaced now (a program that
; did not end, a document another program holds open) is written beside it as NAME.new, which
; Windows moves into its place at the next restart; the other files are installed all the same.
!macro ReplaceFile SOURCE DIR NAME
  ; "try" skips a file it cannot write (setting the error flag) instead of asking, and it does
  ; not clear a read-only attribute itself.
  SetFileAttributes "${DIR}\${NAME}" NORMAL
  ClearErrors
  SetOverwrite try
  File "/oname=${DIR}\${NAME}" "${SOURCE}"
  SetOverwrite on
  ${If} ${Errors}
    File "/oname=${DIR}\${NAME}.new" "${SOURCE}"
    Rename /REBOOTOK "${DIR}\${NAME}.new" "${DIR}\${NAME}"
    DetailPrint "In use, replaced when Windows restarts: ${DIR}\${NAME}"
  ${Else}
    ; A replacement an earlier setup left for the restart must not overwrite this newer file.
    Delete "${DIR}\${NAME}.new"
  ${EndIf}
!macroend

; For ReleaseFiles: one staged file into the program folder.
!macro InstallFile FOLDER NAME
  !if "${FOLDER}" == ""
    !insertmacro ReplaceFile "${STAGE}\${NAME}" "$INSTDIR" "${NAME}"
  !else
    CreateDirectory "$INSTDIR\${FOLDER}"
    !insertmacro ReplaceFile "${STAGE}\${FOLDER}\${NAME}" "$INSTDIR\${FOLDER}" "${NAME}"
  !endif
!macroend

; Deletes a file now or, when it is in use, at the next restart; with it the replacement an
; in-use update left beside it, which the restart would otherwise move into its place again.
!macro RemoveFile PATH
  Delete /REBOOTOK "${PATH}"
  Delete /REBOOTOK "${PATH}.new"
!macroend

; For ReleaseFiles: one installed file of the program folder.
!macro RemoveInstalledFile FOLDER NAME
  !if "${FOLDER}" == ""
    !insertmacro RemoveFile "$INSTDIR\${NAME}"
  !else
    !insertmacro RemoveFile "$INSTDIR\${FOLDER}\${NAME}"
  !endif
!macroend

; Removes an empty folder; when files of it wait for the restart to be deleted, it goes after them.
!macro RemoveFolder PATH
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "${PATH}"
  ${Else}
    RMDir "${PATH}"
  ${EndIf}
!macroend

!include "${FILELIST}"

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
  !insertmacro CloseRunningPrograms ""

  SetOutPath "$INSTDIR"
  !insertmacro ReleaseFiles InstallFile
  ; $SYSDIR is the system folder of this setup's architecture.
  !insertmacro ReplaceFile "${STAGE}\Murlavo.scr" "$SYSDIR" "Murlavo.scr"
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

; The setup runs elevated; what it starts for the user must run as the user, not as
; administrator. The shell (running unelevated) opens a file handed to a new explorer.exe.
Function StartChangerNow
  SetShellVarContext all
  Exec '"$WINDIR\explorer.exe" "$SMPROGRAMS\${PRODUCT}\Murlavo Wallpaper Changer.lnk"'
  SetShellVarContext current
FunctionEnd

; The help's browser, elevated, would open whatever the help links to as administrator.
Function ShowHelpNow
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\${HELP_FILE}"'
FunctionEnd

; A restart needed: the finish page offers it; a silent run says so by its exit code.
Function .onInstSuccess
  ${If} ${Silent}
  ${AndIf} ${RebootFlag}
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
FunctionEnd

Section "un.Murlavo program, screen saver and shortcuts (required)" SecUnProgram
  SectionIn RO
  !insertmacro SetSaverPath
  !insertmacro CloseRunningPrograms "un."

  ; Files still in use are deleted at the next restart.
  !insertmacro ReleaseFiles RemoveInstalledFile
  ; With whatever an older version put there.
  RMDir /r /REBOOTOK "$INSTDIR\help"
  Delete /REBOOTOK "$INSTDIR\uninstall.exe"
  ; Not recursive: files the user put into the folder stay, and so does the folder then.
  !insertmacro RemoveFolder "$INSTDIR"

  ; The screen saver: when it is the current one, no screen saver is current any more.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == $SaverPath
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_SEND})'
  ${EndIf}
  !insertmacro RemoveFile "$SYSDIR\Murlavo.scr"

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
  ; The uninstaller runs elevated, but for the user who started it: that user's folders.
  SetShellVarContext current
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Orvane Inc."
  ; The library is in the Windows directory, or the user's own when that one could not be
  ; written; each with the copy kept of a file the program could not read.
  Delete /REBOOTOK "$WINDIR\Murlavo.ini"
  Delete /REBOOTOK "$WINDIR\Murlavo.ini.bak"
  Delete /REBOOTOK "$APPDATA\${PRODUCT}\Murlavo.ini"
  Delete /REBOOTOK "$APPDATA\${PRODUCT}\Murlavo.ini.bak"
  !insertmacro RemoveFolder "$APPDATA\${PRODUCT}"
  ; An older 32-bit build, refused the Windows directory, wrote there through file
  ; virtualization: into the user's VirtualStore, below the Windows directory's path without
  ; its drive.
  StrCpy $0 "$WINDIR" "" 2
  Delete /REBOOTOK "$LOCALAPPDATA\VirtualStore$0\Murlavo.ini"
  Delete /REBOOTOK "$LOCALAPPDATA\VirtualStore$0\Murlavo.ini.bak"
SectionEnd

Function un.onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEUSERDATA" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnUserData}
  ${EndIf}
FunctionEnd

; A restart needed: the user may restart now; a silent run says so by its exit code.
Function un.onUninstSuccess
  ${If} ${RebootFlag}
    ${If} ${Silent}
      SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
    ${ElseIf} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION "Some files of ${PRODUCT} are in use. They will be removed when Windows restarts.$\r$\n$\r$\nRestart now?" IDYES`
      Reboot
    ${EndIf}
  ${EndIf}
FunctionEnd
