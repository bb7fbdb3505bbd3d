; An installer that ships the Kordalin content the way a product's setup does: it installs
; a component with WSKORDALIN.DLL and Corvane.dll beside it and the content packages in
; the shared content folder, then calls POSTCOPY through NSIS's own System plugin; its
; uninstaller calls DEINSTALL before it removes the component's files.
;
;   makensis -DKIND=x64|pe32 -DDIST=FOLDER -DPACKAGES=FOLDER -DOUTFILE=setup.exe kordalin.nsi
;
; KIND picks the build: pe32 (dist\, a 32-bit installer, for 32-bit setup hosts) or x64
; (dist\x64\, a 64-bit installer: a 32-bit process cannot load the 64-bit module). DIST is
; the folder with WSKORDALIN.DLL and Corvane.dll of that build, PACKAGES the folder with
; the QMT_Kordalin_*.cab packages. Silent: setup.exe /S /D=C:\Velm; the exit status is 0
; when the content is in place, 2 when POSTCOPY failed (the log says why).
Unicode true
!if "${KIND}" == "x64"
  Target amd64-unicode
  InstallDir "$PROGRAMFILES64\Velm"
!else
  Target x86-unicode
  InstallDir "$PROGRAMFILES\Velm"
!endif
Name "Kordalin content (${KIND})"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ShowInstDetails show

!include LogicLib.nsh

; Calls EXPORT of the module installed in $INSTDIR as a setup host does: a ScriptArgs
; record whose one field points to the command text (ANSI, in a buffer of 1024 bytes as
; the module reads it), and the script file's path (ANSI). The module is loaded with the
; altered search order so that it finds Corvane.dll beside it: installers limit the DLL
; search to the system folder. The export's result (1 done, 0 failed) goes to $0.
!macro CallKordalin EXPORT COMMAND
  System::Call 'kernel32::LoadLibraryExW(w "$INSTDIR\WSKORDALIN.DLL", p 0, i 0x8) p .r9'
  ${If} $9 P<> 0
    System::Call 'kernel32::GetProcAddress(p r9, m "${EXPORT}") p .r8'
    System::Call '*(&m1024 "${COMMAND}") p .r7'
    System::Call '*(p r7) p .r6'
    System::Call '::$8(i 0, p r6, m "$INSTDIR\Kordex.inf") i .r0'
    System::Free $6
    System::Free $7
    System::Call 'kernel32::FreeLibrary(p r9)'
  ${Else}
    StrCpy $0 0
    DetailPrint "WSKORDALIN.DLL could not be loaded from $INSTDIR"
  ${EndIf}
!macroend

Section "Kordalin content"
  SetOutPath "$INSTDIR"
  File "${DIST}\WSKORDALIN.DLL"
  File "${DIST}\Corvane.dll"
  ; The script file the host library reads: the component lives in the destination root.
  WriteINIStr "$INSTDIR\Kordex.inf" Setup ComponentDir "$INSTDIR"
  WriteINIStr "$INSTDIR\Kordex.inf" Setup DestinationRoot "$INSTDIR"
  WriteINIStr "$INSTDIR\Kordex.inf" Setup LogFile "$INSTDIR\Kordex.log"
  SetOutPath "$INSTDIR\shared\velm\kordalin"
  File "${PACKAGES}\QMT_Kordalin_*.cab"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  !insertmacro CallKordalin POSTCOPY ""
  ${If} $0 <> 1
    MessageBox MB_ICONSTOP "The Kordalin content could not be updated; $INSTDIR\Kordex.log says why." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  DetailPrint "Kordalin content updated (log: $INSTDIR\Kordex.log)"
SectionEnd

Section "Uninstall"
  ; DEINSTALL removes the shared content only for a component that lives in the root.
  !insertmacro CallKordalin DEINSTALL ""
  Delete "$INSTDIR\WSKORDALIN.DLL"
  Delete "$INSTDIR\Corvane.dll"
  Delete "$INSTDIR\Kordex.inf"
  Delete "$INSTDIR\Kordex.log"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR\shared\velm"
  RMDir "$INSTDIR\shared"
  RMDir "$INSTDIR"
SectionEnd
