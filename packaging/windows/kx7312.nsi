; The Windows installer: both panels, kx7312ctl, the firmware image and the
; Qt DLLs and plugins they load, Start-menu entries and an uninstaller.
; The windows-panel build makes it (target kx7312_installer):
;   makensis -DVERSION=1.05 -DFILES=installer-files.nsh -DOUTFILE=setup.exe kx7312.nsi
; FILES defines the macros KxInstallFiles and KxRemoveFiles from one list.
; Silent: setup.exe /S [/D=FOLDER], Uninstall.exe /S.
; A 64-bit installer for 64-bit programs: it needs no 32-bit layer, and it
; sees the 64-bit Program Files and registry as the programs do.
Target amd64-unicode
!include "${FILES}"

!define NAME "KX7312 Evaluation Software"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KX7312"
!define MENU "$SMPROGRAMS\KX7312"

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\KX7312"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section
  SetShellVarContext all
  !insertmacro KxInstallFiles
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The working folder of every entry is the program's folder.
  SetOutPath "$INSTDIR"
  CreateDirectory "${MENU}"
  CreateShortCut "${MENU}\KX7312(version2).lnk" "$INSTDIR\KX7312(version2).exe"
  CreateShortCut "${MENU}\KX7312(version2) on the Simulated Board.lnk" \
    "$INSTDIR\KX7312(version2).exe" "--simulate"
  CreateShortCut "${MENU}\KX7312.lnk" "$INSTDIR\KX7312.exe"
  CreateShortCut "${MENU}\KX7312 on the Simulated Board.lnk" "$INSTDIR\KX7312.exe" "--simulate"
  CreateShortCut "${MENU}\Uninstall ${NAME}.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The KX7312 panel developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\KX7312(version2).exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put in place, file by file: a folder the user
; chose may hold files of their own (captures, logs), which stay, and so
; does the folder then.
Section "Uninstall"
  SetShellVarContext all
  Delete "${MENU}\KX7312(version2).lnk"
  Delete "${MENU}\KX7312(version2) on the Simulated Board.lnk"
  Delete "${MENU}\KX7312.lnk"
  Delete "${MENU}\KX7312 on the Simulated Board.lnk"
  Delete "${MENU}\Uninstall ${NAME}.lnk"
  RMDir "${MENU}"

  !insertmacro KxRemoveFiles
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
