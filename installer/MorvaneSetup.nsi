; The setup of Tarnwick: installs Morvane.exe and the Explorer extension MorvaneExt.dll of the
; machine's architecture, records the installation folder for the extension, registers it, and
; adds a Start-menu shortcut, an entry in the list of installed programs and an uninstaller.
; It goes over an existing installation in place (finishing at the next restart what Windows holds
; in use) and removes one in another folder, so that there is only ever one.
;
;   makensis -DI686_BIN=<dir> -DX86_64_BIN=<dir> -DOUTFILE=<file> [-DTARGET=amd64-unicode] MorvaneSetup.nsi
;
; makensis works in this script's folder: give the paths absolute or relative to it.
;
; The default x86-unicode setup runs on 32-bit and 64-bit Windows alike. The amd64-unicode one
; is for 64-bit Windows without its 32-bit subsystem (and for machines that cannot run 32-bit
; programs under Wine).

!ifndef I686_BIN | X86_64_BIN | OUTFILE
  !error "define I686_BIN, X86_64_BIN and OUTFILE"
!endif
!ifndef TARGET
  !define TARGET x86-unicode
!endif
Target ${TARGET}
!if ${NSIS_PTR_SIZE} > 4
  ; RunningX64 is constant there, and LogicLib leaves labels of the branch never taken.
  !pragma warning disable 6012
!endif

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include Library.nsh

!define PRODUCT "Tarnwick"
!define PUBLISHER "Kestrium"
; The installation record MorvaneExt.dll reads to find Morvane.exe.
!define RECORD_KEY "SOFTWARE\Kestrium"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
!define SHORTCUT "$SMPROGRAMS\Tarnwick.lnk"
; Every installed file's full path must fit MAX_PATH units with its terminator: registration
; refuses a longer DLL path (and Explorer could not load it), and the extension reads the folder
; into such a buffer. MorvaneExt.dll has the longest name, which leaves 244 characters for the folder.
!define MAX_PATH_LENGTH 259
!define LONGEST_FILE "MorvaneExt.dll"

; The build gives the program and the extension one version; the setup and its entry take it over.
!getdllversion "${X86_64_BIN}\MorvaneExt.dll" VERSION_
!define VERSION "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"

; Whatever version the file in the way has: a file of that name in the folder is replaced.
!define LIBRARY_IGNORE_VERSION

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; No InstallDir: .onInit tells a folder given with /D= (which is set before it runs) from none.
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${PRODUCT} Setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey LegalCopyright "Copyright (C) ${PUBLISHER}"

!define MUI_ICON "../resources/art/morvane.ico"
!define MUI_UNICON "../resources/art/morvane.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} by ${PUBLISHER}, which erases files, folders and drives beyond recovery, and adds $\"Delete by Kestrium$\" to Explorer's menu for files and folders.$\r$\n$\r$\nSetup needs administrator rights: it writes to the Program Files folder and to the machine's registry. If Windows asks, confirm as an administrator.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT_REBOOT "Windows still uses files of the earlier ${PRODUCT} (Explorer keeps its menu item loaded). A restart completes the update.$\r$\n$\r$\nRestart now?"
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "${PRODUCT} and its Explorer menu item will be removed. Your settings stay. Removing needs administrator rights."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE English

; Both run for the installer and the uninstaller, which must not share functions.
!macro RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP "${PRODUCT} Setup needs administrator rights. Start it again as an administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
!macroend

; A 32-bit setup on 64-bit Windows must reach the 64-bit registry, where the installed 64-bit
; DLL and the 64-bit Explorer read.
!macro UseNativeRegistryView
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

; Into $0: a program of Windows' own, of the machine's architecture (regsvr32 must match the
; installed DLL's). A 32-bit process sees the 32-bit ones under system32; sysnative is its way to
; the 64-bit ones.
!macro FindSystemProgram NAME
  StrCpy $0 "$SYSDIR\${NAME}"
  !if ${NSIS_PTR_SIZE} <= 4
    ${If} ${RunningX64}
      StrCpy $0 "$WINDIR\sysnative\${NAME}"
    ${EndIf}
  !endif
!macroend

; Into VAR: the folder of the installation there is, or "". The record is what the extension
; follows; the entry stands in for it if the record has gone.
!macro ReadInstalledFolder VAR
  ReadRegStr ${VAR} HKLM "${RECORD_KEY}" path
  ${If} ${VAR} == ""
    ReadRegStr ${VAR} HKLM "${UNINSTALL_KEY}" InstallLocation
  ${EndIf}
!macroend

Var PreviousFolder
; The folder the setup protects: the installation folder, or the outermost folder it creates for it.
Var ProtectedFolder

Function .onInit
  !insertmacro RequireAdministrator
  !insertmacro UseNativeRegistryView
  ; Without /D= the existing installation is offered, and a silent setup goes over it.
  !insertmacro ReadInstalledFolder $PreviousFolder
  ${If} $INSTDIR == ""
    StrCpy $INSTDIR $PreviousFolder
  ${EndIf}
  ${If} $INSTDIR == ""
    ; On 32-bit Windows this is the one Program Files folder.
    StrCpy $INSTDIR "$PROGRAMFILES64\Kestrium\Tarnwick"
  ${EndIf}
FunctionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel 3010 ; ERROR_SUCCESS_REBOOT_REQUIRED
  ${EndIf}
FunctionEnd

Function StopSetup
  MessageBox MB_ICONSTOP "$0" /SD IDOK
  ; NSIS ends a setup whose script aborted with 2.
  Abort
FunctionEnd

; $1 = 1 where $INSTDIR is a file or holds anything but what a previous installation of this
; setup leaves there: its three files and the temporary copies Library.nsh renames over them at a
; restart.
Function FindForeignContent
  StrCpy $1 0
  ${If} ${FileExists} $INSTDIR
  ${AndIfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $1 1
  ${EndIf}
  FindFirst $2 $3 "$INSTDIR\*"
  ${DoWhile} $3 != ""
    StrCpy $4 $3 2
    StrCpy $5 $3 "" -4
    ${If} $3 == "."
    ${OrIf} $3 == ".."
    ${ElseIf} ${FileExists} "$INSTDIR\$3\*.*"
      StrCpy $1 1
    ${ElseIf} $3 == "Morvane.exe"
    ${OrIf} $3 == "MorvaneExt.dll"
    ${OrIf} $3 == "uninstall.exe"
    ${ElseIf} $4 == "ns"
    ${AndIf} $5 == ".tmp"
    ${Else}
      StrCpy $1 1
    ${EndIf}
    FindNext $2 $3
  ${Loop}
  FindClose $2
FunctionEnd

; Outside Program Files nothing keeps users from writing to a folder, and every user's Explorer
; loads the extension from it while the elevated setup and uninstaller run programs in it. The
; folder gets what Program Files has: administrators for its owner, and administrators and SYSTEM
; full control, users read and execute, inherited below, nothing else. A folder that already holds
; other files is refused: its access list is not the setup's to change, and a DLL put beside
; Morvane.exe would be loaded with it.
Function ProtectFolder
  StrLen $1 "$PROGRAMFILES64\"
  StrCpy $2 $INSTDIR $1
  StrLen $1 "$PROGRAMFILES32\"
  StrCpy $3 $INSTDIR $1
  ${If} $2 == "$PROGRAMFILES64\"
  ${OrIf} $3 == "$PROGRAMFILES32\"
    Return
  ${EndIf}

  ; Neither may a drive's root, or a link, which a user may have made and may turn elsewhere.
  Call FindForeignContent
  ${GetParent} $INSTDIR $3
  ${GetFileAttributes} $INSTDIR REPARSE_POINT $2
  ${If} $3 == ""
  ${OrIf} $2 == 1
  ${OrIf} $1 == 1
    StrCpy $0 "Setup installs into a new or empty folder only (or over ${PRODUCT}): it makes the folder writable by administrators only, which is not its to do for $INSTDIR."
    Call StopSetup
  ${EndIf}

  ; The outermost folder that is not there yet, so that everything the setup creates is protected.
  StrCpy $ProtectedFolder $INSTDIR
  StrCpy $1 $INSTDIR
  ${DoUntil} ${FileExists} "$1\*.*"
    StrCpy $ProtectedFolder $1
    ${GetParent} $1 $1
    ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
  ${Loop}
  CreateDirectory $INSTDIR

  !insertmacro FindSystemProgram icacls.exe
  ; The owner could give itself any right back; /reset drops what was granted explicitly, and the
  ; last command leaves the three entries alone.
  nsExec::ExecToLog '"$0" "$ProtectedFolder" /setowner *S-1-5-32-544'
  Pop $1
  ${If} $1 == 0
    nsExec::ExecToLog '"$0" "$ProtectedFolder" /reset'
    Pop $1
  ${EndIf}
  ${If} $1 == 0
    nsExec::ExecToLog '"$0" "$ProtectedFolder" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX'
    Pop $1
  ${EndIf}
  ; Anything put there before the protection took hold stays its author's.
  ${If} $1 == 0
    Call FindForeignContent
  ${EndIf}
  ${If} $1 != 0
    StrCpy $2 $INSTDIR
    ${Do}
      RMDir $2
      ${IfThen} $2 == $ProtectedFolder ${|} ${ExitDo} ${|}
      ${GetParent} $2 $2
    ${Loop}
    StrCpy $0 "Setup could not make $INSTDIR writable by administrators only: choose another folder."
    Call StopSetup
  ${EndIf}
FunctionEnd

Function .onVerifyInstDir
  StrLen $0 "$INSTDIR\${LONGEST_FILE}"
  ${If} $0 > ${MAX_PATH_LENGTH}
    Abort
  ${EndIf}
FunctionEnd

; A file of this name may have been put into the folder before it was protected, as a link or
; with its author's rights: a new file takes its place instead of being written through it. What
; Windows holds loaded cannot go; Library.nsh then puts the new file in place at the next restart.
!macro ClearName FILE
  SetFileAttributes "${FILE}" FILE_ATTRIBUTE_NORMAL
  Delete "${FILE}"
!macroend

!macro InstallProgram BIN
  !insertmacro ClearName "$INSTDIR\Morvane.exe"
  !insertmacro InstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${BIN}\Morvane.exe" "$INSTDIR\Morvane.exe" "$INSTDIR"
  !insertmacro ClearName "$INSTDIR\MorvaneExt.dll"
  !insertmacro InstallLib DLL NOTSHARED REBOOT_NOTPROTECTED "${BIN}\MorvaneExt.dll" "$INSTDIR\MorvaneExt.dll" "$INSTDIR"
!macroend

Section
  ; "." and ".." would get past the Program Files test.
  System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .r0, p 0) i .r1'
  ${If} $1 > 0
  ${AndIf} $1 < ${NSIS_MAX_STRLEN}
    StrCpy $INSTDIR $0
  ${EndIf}
  ; /D skips the directory page and .onVerifyInstDir with it.
  StrLen $0 "$INSTDIR\${LONGEST_FILE}"
  ${If} $0 > ${MAX_PATH_LENGTH}
    StrCpy $0 "The folder $INSTDIR is too long: choose one of at most 244 characters."
    Call StopSetup
  ${EndIf}
  Call ProtectFolder

  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    !insertmacro InstallProgram "${X86_64_BIN}"
  ${Else}
    !insertmacro InstallProgram "${I686_BIN}"
  ${EndIf}
  ${If} ${RebootFlag}
    DetailPrint "Windows still uses files of the earlier ${PRODUCT}: a restart completes the update."
  ${EndIf}
  ; Written before the record, the shortcut and the registration, so that a failure in any of
  ; them can be undone from the list of installed programs.
  !insertmacro ClearName "$INSTDIR\uninstall.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" VersionMajor ${VERSION_1}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" VersionMinor ${VERSION_2}
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\Morvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0

  WriteRegStr HKLM "${RECORD_KEY}" path "$INSTDIR"

  SetShellVarContext all
  CreateShortCut "${SHORTCUT}" "$INSTDIR\Morvane.exe"

  !insertmacro FindSystemProgram regsvr32.exe
  ClearErrors
  ExecWait '"$0" /s "$INSTDIR\MorvaneExt.dll"' $1
  ${If} ${Errors}
  ${OrIf} $1 != 0
    StrCpy $0 "The Explorer menu item could not be registered (regsvr32 ended with $1). Uninstall ${PRODUCT} and run Setup again as an administrator."
    Call StopSetup
  ${EndIf}

  ; An installation in another folder goes once this one has taken over the registration, the
  ; record and the entry. Its files go by this setup's own uninstaller, which then finds itself
  ; stale and takes nothing else: the uninstaller in that folder, which an earlier setup may have
  ; left where any user could replace it, is not run, and the extension there is not loaded.
  ${If} $PreviousFolder != ""
  ${AndIf} $PreviousFolder != $INSTDIR
  ${AndIf} ${FileExists} "$PreviousFolder\*.*"
    InitPluginsDir
    WriteUninstaller "$PLUGINSDIR\uninstall.exe"
    ExecWait '"$PLUGINSDIR\uninstall.exe" /S _?=$PreviousFolder'
    ; Explorer still holds the extension from there.
    ${If} ${FileExists} "$PreviousFolder\Morvane.exe"
    ${OrIf} ${FileExists} "$PreviousFolder\MorvaneExt.dll"
      SetRebootFlag true
    ${EndIf}
  ${EndIf}
SectionEnd

Function un.onInit
  !insertmacro RequireAdministrator
  !insertmacro UseNativeRegistryView
FunctionEnd

Section Uninstall
  ; An uninstaller left in a folder the installation has moved away from is stale: the
  ; registration, the shortcut, the entry and the record belong to the installation elsewhere.
  !insertmacro ReadInstalledFolder $1
  ${If} $1 == ""
  ${OrIf} $1 == $INSTDIR
    !insertmacro FindSystemProgram regsvr32.exe
    ExecWait '"$0" /s /u "$INSTDIR\MorvaneExt.dll"'

    SetShellVarContext all
    Delete "${SHORTCUT}"

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; Only the record: the key is the publisher's and may hold more. The user's settings live
    ; under HKEY_CURRENT_USER and stay.
    DeleteRegValue HKLM "${RECORD_KEY}" path
    DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${RECORD_KEY}"
  ${EndIf}

  ; Only what Setup put there: the folder may be one the user chose and filled.
  ; Explorer keeps the extension loaded while it runs, and the program may be running too: those
  ; go at the next restart.
  Delete /REBOOTOK "$INSTDIR\Morvane.exe"
  Delete /REBOOTOK "$INSTDIR\MorvaneExt.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  ${If} "$INSTDIR" == "$PROGRAMFILES64\Kestrium\Tarnwick"
    RMDir "$PROGRAMFILES64\Kestrium"
  ${EndIf}
SectionEnd
