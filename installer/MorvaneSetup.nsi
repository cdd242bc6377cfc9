; The setup of Tarnwick: installs Morvane.exe and the Explorer extension MorvaneExt.dll of the
; machine's architecture (on 64-bit Windows the 32-bit extension too, MorvaneExt32.dll, for
; 32-bit programs' file dialogs), records the installation folder for the extension, registers
; it and the event source, and adds a Start-menu shortcut, an entry in the list of installed
; programs and an uninstaller. It goes over an existing installation in place and removes one in
; another folder, so that there is only ever one. It refuses to go over the Windows Installer
; package's installation (which refuses this setup's in turn).
;
;   makensis -DI686_BIN=<dir> -DX86_64_BIN=<dir> -DOUTFILE=<file> -DUPGRADE_CODE={...}
;            -DREGISTRATION=<generated registration macros> [-DTARGET=amd64-unicode] MorvaneSetup.nsi
;
; The registration macros are generated from the extension's registrar script
; (installer/RegistrationRows.cpp): the setup writes those keys itself and never runs code from
; the installation folder while it is elevated.
;
; makensis works in this script's folder: give the paths absolute or relative to it.
;
; The default x86-unicode setup runs on 32-bit and 64-bit Windows alike. The amd64-unicode one
; is for 64-bit Windows without its 32-bit subsystem (and for machines that cannot run 32-bit
; programs under Wine).

!ifndef I686_BIN | X86_64_BIN | OUTFILE | UPGRADE_CODE | REGISTRATION
  !error "define I686_BIN, X86_64_BIN, OUTFILE, UPGRADE_CODE and REGISTRATION"
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
!include "${REGISTRATION}"

!define PRODUCT "Tarnwick"
!define PUBLISHER "Kestrium"
; The installation record MorvaneExt.dll reads to find Morvane.exe.
!define RECORD_KEY "SOFTWARE\Kestrium"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
!define SHORTCUT "$SMPROGRAMS\Tarnwick.lnk"
; Event Viewer words the program's events from the message table in Morvane.exe.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Tarnwick"
; Written by the extension's own registration beside its script's keys.
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved"
!define CLSID "{4F27A0C3-9B1E-4d52-A7E8-3C61D0F59B24}"
; A folder the setup creates outside Program Files: owned by the Administrators group, a
; protected list (nothing inherited from the parent) giving Administrators and SYSTEM full
; control and Users read and execute, inherited by everything below. What Program Files has.
!define FOLDER_SDDL "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FRFX;;;BU)"
; Every installed file's full path must fit MAX_PATH units with its terminator: registration
; refuses a longer DLL path (and Explorer could not load it), and the extension reads the folder
; into such a buffer. MorvaneExt32.dll has the longest name, which leaves 242 characters for the folder.
!define MAX_PATH_LENGTH 259
!define LONGEST_FILE "MorvaneExt32.dll"

; The build gives the program and the extension one version; the setup and its entry take it over.
!getdllversion "${X86_64_BIN}\MorvaneExt.dll" VERSION_
!define VERSION "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"

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
!define MUI_FINISHPAGE_TEXT_REBOOT "Programs that are running (Explorer keeps the menu item loaded) still use the earlier ${PRODUCT}. A restart completes the update.$\r$\n$\r$\nRestart now?"
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

; Into VAR: the folder of the installation there is, or "". The record is what the extension
; follows; the entry stands in for it if the record has gone.
!macro ReadInstalledFolder VAR
  ReadRegStr ${VAR} HKLM "${RECORD_KEY}" path
  ${If} ${VAR} == ""
    ReadRegStr ${VAR} HKLM "${UNINSTALL_KEY}" InstallLocation
  ${EndIf}
!macroend

; The installer and the uninstaller cannot share functions: each gets its own copy.
!macro FolderIdentityFunctions UN
; $R0 = "volume:index" of the file or folder $R0 names, or "" where it cannot be opened. Two
; spellings of one folder (C:\PROGRA~1 and C:\Program Files, another drive letter mapped onto
; it) have one identity; two folders never share one.
Function ${UN}Identity
  Push $0
  Push $1
  Push $2
  Push $3
  ; FILE_READ_ATTRIBUTES, any sharing, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS (for folders).
  System::Call 'kernel32::CreateFileW(w R0, i 0x80, i 7, p 0, i 3, i 0x02000000, p 0) p .r0'
  StrCpy $R0 ""
  ${If} $0 != -1
    ; BY_HANDLE_FILE_INFORMATION: the volume serial is its 8th DWORD, the file index its last two.
    System::Call '*(&i52) p .r1'
    System::Call 'kernel32::GetFileInformationByHandle(p r0, p r1) i .r2'
    ${If} $2 != 0
      System::Call '*$1(i, i, i, i, i, i, i, i .r2, i, i, i, i .r3, i .R0)'
      StrCpy $R0 "$2:$3:$R0"
    ${EndIf}
    System::Free $1
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; $R0 = 1 where $R1 and $R2 name one existing folder, else 0.
Function ${UN}SameFolder
  Push $R3
  StrCpy $R0 $R1
  Call ${UN}Identity
  StrCpy $R3 $R0
  StrCpy $R0 $R2
  Call ${UN}Identity
  ${If} $R0 != ""
  ${AndIf} $R0 == $R3
    StrCpy $R0 1
  ${Else}
    StrCpy $R0 0
  ${EndIf}
  Pop $R3
FunctionEnd
!macroend
!insertmacro FolderIdentityFunctions ""
!insertmacro FolderIdentityFunctions "un."

Var PreviousFolder
; The outermost folder the setup creates for the installation ("" where it creates none).
Var CreatedFolder
; The owner of Windows' own folder (TrustedInstaller), as trusted as SYSTEM.
Var WindowsOwner
; Where the files of the installation there was went while the new ones are put in place.
Var AsideProgram
Var AsideExtension
Var AsideExtension32

; $R0 = the owner of file $R1 as a SID text ("S-1-5-32-544"), or "" where it cannot be read.
Function OwnerOf
  Push $0
  Push $1
  Push $2
  StrCpy $R0 ""
  ; SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION
  System::Call 'advapi32::GetNamedSecurityInfoW(w R1, i 1, i 1, *p .r1, p 0, p 0, p 0, *p .r2) i .r0'
  ${If} $0 == 0
    System::Call 'advapi32::ConvertSidToStringSidW(p r1, *p .r1) i .r0'
    ${If} $0 != 0
      System::Call 'kernel32::lstrcpynW(w .R0, p r1, i ${NSIS_MAX_STRLEN})'
      System::Call 'kernel32::LocalFree(p r1)'
    ${EndIf}
    System::Call 'kernel32::LocalFree(p r2)'
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Function .onInit
  !insertmacro RequireAdministrator
  !insertmacro UseNativeRegistryView
  ; The Windows Installer package's installation is that package's to upgrade or remove.
  System::Call 'msi::MsiEnumRelatedProductsW(w "${UPGRADE_CODE}", i 0, i 0, w .r1) i .r0'
  ${If} $0 == 0
    MessageBox MB_ICONSTOP "${PRODUCT} is installed on this computer from its Windows Installer package (MSI). Upgrade it with a newer package, or uninstall it in Settings > Apps, before running this setup. Nothing was changed." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $R1 $WINDIR
  Call OwnerOf
  StrCpy $WindowsOwner $R0
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
; setup leaves there (its files, and the earlier files it moved aside while they were in use),
; or where any of those is owned by someone but the Administrators group, SYSTEM or Windows'
; own owner: a standard user may have put it there before the folder was protected.
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
    ${OrIf} $3 == "MorvaneExt32.dll"
    ${OrIf} $3 == "uninstall.exe"
    ${OrIf} $4$5 == "ns.tmp"
      StrCpy $R1 "$INSTDIR\$3"
      Call OwnerOf
      ${If} $R0 != "S-1-5-32-544"
      ${AndIf} $R0 != "S-1-5-18"
      ${AndIf} $R0 != $WindowsOwner
        StrCpy $1 1
      ${EndIf}
    ${Else}
      StrCpy $1 1
    ${EndIf}
    FindNext $2 $3
  ${Loop}
  FindClose $2
FunctionEnd

; $R0 = 1 where $INSTDIR lies in a Program Files folder. Compared by identity, so that no
; spelling (an 8.3 name, another drive letter) passes for another place or hides this one.
Function IsInProgramFiles
  Push $R3
  Push $R4
  StrCpy $R3 $INSTDIR
  StrCpy $R0 0
  ${Do}
    ${GetParent} $R3 $R3
    ; "C:" alone would name the drive's current folder.
    StrLen $R4 $R3
    ${IfThen} $R4 <= 2 ${|} ${ExitDo} ${|}
    StrCpy $R1 $R3
    StrCpy $R2 $PROGRAMFILES64
    Call SameFolder
    ${IfThen} $R0 == 1 ${|} ${ExitDo} ${|}
    StrCpy $R2 $PROGRAMFILES32
    Call SameFolder
    ${IfThen} $R0 == 1 ${|} ${ExitDo} ${|}
  ${Loop}
  Pop $R4
  Pop $R3
FunctionEnd

; Outside Program Files nothing keeps users from writing to a folder, and every user's Explorer
; loads the extension from it while the elevated setup and uninstaller run there. The folder gets
; what Program Files has (FOLDER_SDDL): every folder the setup creates is created with it, so it
; is never open to anyone else, not even for a moment; a folder that is there already (empty, or
; this setup's) gets it set. A folder that holds other files, or files of other owners, is
; refused: its access list is not the setup's to change, and a DLL beside Morvane.exe would be
; loaded with it.
Function ProtectFolder
  StrCpy $CreatedFolder ""
  Call IsInProgramFiles
  ${If} $R0 == 1
    Return
  ${EndIf}

  ; Neither may a drive's root, or a link, which a user may have made and may turn elsewhere.
  Call FindForeignContent
  ${GetParent} $INSTDIR $3
  ${GetFileAttributes} $INSTDIR REPARSE_POINT $2
  ${If} $3 == ""
  ${OrIf} $2 == 1
  ${OrIf} $1 == 1
    StrCpy $0 "Setup installs into a new or empty folder only (or over ${PRODUCT}, with files only administrators own): it makes the folder writable by administrators only, which is not its to do for $INSTDIR."
    Call StopSetup
  ${EndIf}

  ; $5: the descriptor, $6: SECURITY_ATTRIBUTES pointing to it.
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${FOLDER_SDDL}", i 1, *p .r5, p 0) i .r1'
  ${If} $1 == 0
    StrCpy $0 "Setup could not make $INSTDIR writable by administrators only: choose another folder."
    Call StopSetup
  ${EndIf}
  !if ${NSIS_PTR_SIZE} > 4
    System::Call '*(i 24, i 0, p r5, i 0, i 0) p .r6'
  !else
    System::Call '*(i 12, p r5, i 0) p .r6'
  !endif
  StrCpy $1 0
  ${If} ${FileExists} "$INSTDIR\*.*"
    ; OWNER | DACL | PROTECTED_DACL
    System::Call 'advapi32::GetSecurityDescriptorOwner(p r5, *p .r7, *i .r8) i'
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r5, *i .r8, *p .r9, *i .r8) i'
    System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i 1, i 0x80000005, p r7, p 0, p r9, p 0) i .r1'
  ${Else}
    ; From the outermost folder that is not there yet down to the installation folder.
    StrCpy $2 $INSTDIR
    StrCpy $3 0
    ${Do}
      Push $2
      IntOp $3 $3 + 1
      StrCpy $CreatedFolder $2
      ${GetParent} $2 $2
    ${LoopUntil} ${FileExists} "$2\*.*"
    ${DoWhile} $3 > 0
      Pop $2
      IntOp $3 $3 - 1
      ${If} $1 == 0
        System::Call 'kernel32::CreateDirectoryW(w r2, p r6) i .r4'
        ${IfThen} $4 == 0 ${|} StrCpy $1 1 ${|}
      ${EndIf}
    ${Loop}
  ${EndIf}
  System::Free $6
  System::Call 'kernel32::LocalFree(p r5)'

  ; Anything put there before the protection took hold stays its author's.
  ${If} $1 == 0
    Call FindForeignContent
  ${EndIf}
  ${If} $1 != 0
    ${If} $CreatedFolder != ""
      StrCpy $2 $INSTDIR
      ${Do}
        RMDir $2
        ${IfThen} $2 == $CreatedFolder ${|} ${ExitDo} ${|}
        ${GetParent} $2 $2
      ${Loop}
    ${EndIf}
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

; A file of the installation there is moves aside under a temporary name, which works also while
; Windows has it loaded (Explorer the extension, a running Tarnwick the program). Sets $1 to the
; name where it cannot move: another program holds it open, and it would stay what it is.
!macro MoveAside NAME VAR
  StrCpy ${VAR} ""
  ${If} $1 == ""
  ${AndIf} ${FileExists} "$INSTDIR\${NAME}"
    GetTempFileName ${VAR} $INSTDIR
    Delete ${VAR}
    ClearErrors
    Rename "$INSTDIR\${NAME}" ${VAR}
    ${If} ${Errors}
      StrCpy $1 "${NAME}"
      StrCpy ${VAR} ""
    ${EndIf}
  ${EndIf}
!macroend

!macro PutBack NAME VAR
  ${If} ${VAR} != ""
    Rename ${VAR} "$INSTDIR\${NAME}"
  ${EndIf}
!macroend

; An earlier file goes now, or at the restart where Windows still has it loaded.
!macro DropAside VAR
  ${If} ${VAR} != ""
    Delete /REBOOTOK ${VAR}
  ${EndIf}
!macroend

!macro PutProgramFiles BIN
  File "${BIN}\Morvane.exe"
  File "${BIN}\MorvaneExt.dll"
!macroend

; Every file is replaced now or nothing is: no file is left for a restart to replace and no
; registration is written for a file that is not the new one.
Function PutFilesInPlace
  StrCpy $1 ""
  !insertmacro MoveAside Morvane.exe $AsideProgram
  !insertmacro MoveAside MorvaneExt.dll $AsideExtension
  !insertmacro MoveAside MorvaneExt32.dll $AsideExtension32
  ${If} $1 != ""
    !insertmacro PutBack Morvane.exe $AsideProgram
    !insertmacro PutBack MorvaneExt.dll $AsideExtension
    !insertmacro PutBack MorvaneExt32.dll $AsideExtension32
    StrCpy $0 "Setup cannot replace $INSTDIR\$1: another program holds it open. Close that program, or restart Windows, and run Setup again. Nothing was changed."
    Call StopSetup
  ${EndIf}

  SetOutPath "$INSTDIR"
  ClearErrors
  ${If} ${RunningX64}
    !insertmacro PutProgramFiles "${X86_64_BIN}"
    ; The 32-bit extension, for 32-bit programs' file dialogs.
    File "/oname=MorvaneExt32.dll" "${I686_BIN}\MorvaneExt.dll"
  ${Else}
    !insertmacro PutProgramFiles "${I686_BIN}"
  ${EndIf}
  ${If} ${Errors}
    StrCpy $0 "Setup could not write the files of ${PRODUCT} into $INSTDIR. Run Setup again."
    Call StopSetup
  ${EndIf}
  !insertmacro DropAside $AsideProgram
  !insertmacro DropAside $AsideExtension
  !insertmacro DropAside $AsideExtension32
  ${If} ${RebootFlag}
    DetailPrint "Programs that are running still use the earlier ${PRODUCT}: a restart completes the update."
  ${EndIf}
FunctionEnd

; The extension's registration, as its registrar script has it, in the machine's registry view
; and, on 64-bit Windows, for the 32-bit extension in the 32-bit view, where it also reads the
; record.
Function RegisterExtensions
  !insertmacro RegisterExtension "$INSTDIR\MorvaneExt.dll"
  WriteRegStr HKLM "${APPROVED_KEY}" "${CLSID}" "${PUBLISHER}"
  ${If} ${RunningX64}
    SetRegView 32
    !insertmacro RegisterExtension "$INSTDIR\MorvaneExt32.dll"
    WriteRegStr HKLM "${APPROVED_KEY}" "${CLSID}" "${PUBLISHER}"
    WriteRegStr HKLM "${RECORD_KEY}" path "$INSTDIR"
    SetRegView 64
  ${EndIf}
FunctionEnd

Section
  ; "." and ".." would get past the Program Files test.
  System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .r0, p 0) i .r1'
  ${If} $1 > 0
  ${AndIf} $1 < ${NSIS_MAX_STRLEN}
    StrCpy $INSTDIR $0
  ${EndIf}
  ; Another spelling of the installed folder is that folder: it keeps the name it is known by.
  StrCpy $R1 $INSTDIR
  StrCpy $R2 $PreviousFolder
  Call SameFolder
  ${If} $R0 == 1
    StrCpy $INSTDIR $PreviousFolder
  ${EndIf}
  ; /D skips the directory page and .onVerifyInstDir with it.
  StrLen $0 "$INSTDIR\${LONGEST_FILE}"
  ${If} $0 > ${MAX_PATH_LENGTH}
    StrCpy $0 "The folder $INSTDIR is too long: choose one of at most 242 characters."
    Call StopSetup
  ${EndIf}
  Call ProtectFolder
  Call PutFilesInPlace

  ; Written before the record, the shortcut and the registration, so that a failure in any of
  ; them can be undone from the list of installed programs. A file of this name may have been put
  ; there as a link: the uninstaller takes its place instead of being written through it.
  SetFileAttributes "$INSTDIR\uninstall.exe" FILE_ATTRIBUTE_NORMAL
  Delete "$INSTDIR\uninstall.exe"
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
  WriteRegStr HKLM "${EVENT_SOURCE_KEY}" EventMessageFile "$INSTDIR\Morvane.exe"
  WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" TypesSupported 7

  SetShellVarContext all
  CreateShortCut "${SHORTCUT}" "$INSTDIR\Morvane.exe"

  Call RegisterExtensions

  ; An installation in another folder goes once this one has taken over the registration, the
  ; record and the entry. Its files go by this setup's own uninstaller, which then finds itself
  ; stale and takes nothing else: the uninstaller in that folder, which an earlier setup may have
  ; left where any user could replace it, is not run, and the extension there is not loaded.
  StrCpy $R1 $INSTDIR
  StrCpy $R2 $PreviousFolder
  Call SameFolder
  ${If} $PreviousFolder != ""
  ${AndIf} $R0 == 0
  ${AndIf} ${FileExists} "$PreviousFolder\*.*"
    InitPluginsDir
    WriteUninstaller "$PLUGINSDIR\uninstall.exe"
    ExecWait '"$PLUGINSDIR\uninstall.exe" /S _?=$PreviousFolder'
    ; Explorer still holds the extension from there.
    ${If} ${FileExists} "$PreviousFolder\Morvane.exe"
    ${OrIf} ${FileExists} "$PreviousFolder\MorvaneExt.dll"
    ${OrIf} ${FileExists} "$PreviousFolder\MorvaneExt32.dll"
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
  ; The folders are compared by identity: the uninstaller may run under another spelling.
  !insertmacro ReadInstalledFolder $R1
  StrCpy $R2 $INSTDIR
  Call un.SameFolder
  ${If} $R1 == ""
  ${OrIf} $R0 == 1
    !insertmacro UnregisterExtension "$INSTDIR\MorvaneExt.dll"
    DeleteRegValue HKLM "${APPROVED_KEY}" "${CLSID}"
    ${If} ${RunningX64}
      SetRegView 32
      !insertmacro UnregisterExtension "$INSTDIR\MorvaneExt32.dll"
      DeleteRegValue HKLM "${APPROVED_KEY}" "${CLSID}"
      DeleteRegValue HKLM "${RECORD_KEY}" path
      DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${RECORD_KEY}"
      SetRegView 64
    ${EndIf}

    SetShellVarContext all
    Delete "${SHORTCUT}"

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
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
  Delete /REBOOTOK "$INSTDIR\MorvaneExt32.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
  ${GetParent} $INSTDIR $R1
  StrCpy $R2 "$PROGRAMFILES64\Kestrium"
  Call un.SameFolder
  ${If} $R0 == 1
    RMDir $R1
  ${EndIf}
SectionEnd
