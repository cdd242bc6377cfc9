; The setup of Tarnwick: installs Morvane.exe and the Explorer extension MorvaneExt.dll of the
; machine's architecture, records the installation folder for the extension, registers it, and
; adds a Start-menu shortcut, an entry in the list of installed programs and an uninstaller.
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

!getdllversion "${X86_64_BIN}\MorvaneExt.dll" VERSION_
!define VERSION "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; On 32-bit Windows this is the one Program Files folder.
InstallDir "$PROGRAMFILES64\Kestrium\Tarnwick"
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

; Into $0: the regsvr32 of the installed DLL's architecture. A 32-bit process sees the 32-bit
; one under system32; sysnative is its way to the 64-bit one.
!macro FindRegsvr32
  StrCpy $0 "$SYSDIR\regsvr32.exe"
  !if ${NSIS_PTR_SIZE} <= 4
    ${If} ${RunningX64}
      StrCpy $0 "$WINDIR\sysnative\regsvr32.exe"
    ${EndIf}
  !endif
!macroend

Function .onInit
  !insertmacro RequireAdministrator
  !insertmacro UseNativeRegistryView
FunctionEnd

Function .onVerifyInstDir
  StrLen $0 "$INSTDIR\${LONGEST_FILE}"
  ${If} $0 > ${MAX_PATH_LENGTH}
    Abort
  ${EndIf}
FunctionEnd

Section
  ; /D skips the directory page and .onVerifyInstDir with it.
  StrLen $0 "$INSTDIR\${LONGEST_FILE}"
  ${If} $0 > ${MAX_PATH_LENGTH}
    MessageBox MB_ICONSTOP "The folder $INSTDIR is too long: choose one of at most 244 characters." /SD IDOK
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    File "${X86_64_BIN}\Morvane.exe"
    File "${X86_64_BIN}\MorvaneExt.dll"
  ${Else}
    File "${I686_BIN}\Morvane.exe"
    File "${I686_BIN}\MorvaneExt.dll"
  ${EndIf}
  ; Written before the record, the shortcut and the registration, so that a failure in any of
  ; them can be undone from the list of installed programs.
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
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

  !insertmacro FindRegsvr32
  ClearErrors
  ExecWait '"$0" /s "$INSTDIR\MorvaneExt.dll"' $1
  ${If} ${Errors}
  ${OrIf} $1 != 0
    MessageBox MB_ICONSTOP "The Explorer menu item could not be registered (regsvr32 ended with $1). Uninstall ${PRODUCT} and run Setup again as an administrator." /SD IDOK
    Abort
  ${EndIf}
SectionEnd

Function un.onInit
  !insertmacro RequireAdministrator
  !insertmacro UseNativeRegistryView
FunctionEnd

Section Uninstall
  !insertmacro FindRegsvr32
  ExecWait '"$0" /s /u "$INSTDIR\MorvaneExt.dll"'

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

  SetShellVarContext all
  Delete "${SHORTCUT}"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Only the record: the key is the publisher's and may hold more. The user's settings live
  ; under HKEY_CURRENT_USER and stay.
  DeleteRegValue HKLM "${RECORD_KEY}" path
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${RECORD_KEY}"
SectionEnd
