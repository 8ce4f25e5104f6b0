; The setup program users run: it finds Winamp's folder and copies
; gen_Tavrin.dll into its Plugins folder, replacing an older one. It leaves the
; settings files alone and writes no uninstaller: Winamp's own Preferences
; remove the plug-in (the DLL exports Winamp's uninstall entry).
; Built by CMake (the win32 build's "setup" target) and tools/release.sh:
;   makensis -DVERSION=0.2 -DPLUGIN_DLL=path\gen_Tavrin.dll -DOUTFILE=path\setup.exe setup.nsi
; Silent: setup.exe /S /D=C:\Program Files\Winamp (the folder last, unquoted);
; the exit code is 0 once the DLL is in place, 2 when nothing was written.

Unicode true
; The DLL's file time stays out, so the same DLL gives the same setup bytes.
SetDateSave off
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include LogicLib.nsh
!include FileFunc.nsh

Name "Tavrin ${VERSION}"
OutFile "${OUTFILE}"
DirText "Setup copies Tavrin (gen_Tavrin.dll) into the Plugins folder of this Winamp folder, the one that holds winamp.exe. Close Winamp first." "Winamp folder"
ShowInstDetails show

Page directory
Page instfiles

; $0: a command line, its program perhaps in quotes; becomes that program's folder.
Function FolderOfProgram
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $2 0
    ${Do}
      StrCpy $1 $0 1 $2
      ${IfThen} $1 == '"' ${|} ${ExitDo} ${|}
      ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
      IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 $0 $2
  ${EndIf}
  ${GetParent} $0 $0
FunctionEnd

; Winamp's folder, unless /D= named one: where Winamp says it is installed,
; else the folder of its uninstaller, else the usual place.
Function .onInit
  ${If} $INSTDIR != ""
    Return
  ${EndIf}
  ReadRegStr $INSTDIR HKCU "Software\Winamp" ""
  ${If} $INSTDIR == ""
    ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"
    ${If} $0 != ""
      Call FolderOfProgram
      StrCpy $INSTDIR $0
    ${EndIf}
  ${EndIf}
  ${If} $INSTDIR == ""
    StrCpy $INSTDIR "$PROGRAMFILES\Winamp"
  ${EndIf}
FunctionEnd

; The directory page goes on only to a Winamp folder.
Function .onVerifyInstDir
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    Abort
  ${EndIf}
FunctionEnd

Section
  ; Checked again here: a silent setup (/S /D=folder) skips the page's check.
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR holds no winamp.exe: choose Winamp's folder." /SD IDOK
    Abort "No winamp.exe in $INSTDIR: nothing was copied."
  ${EndIf}
  ; A running Winamp has the plug-in loaded, and a loaded DLL cannot be replaced.
  FindWindow $0 "Winamp v1.x"
  ${DoWhile} $0 != 0
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Winamp is running. Close it, then press Retry." /SD IDCANCEL IDRETRY retry
    Abort "Winamp is running: nothing was copied."
    retry:
    FindWindow $0 "Winamp v1.x"
  ${Loop}
  SetOutPath "$INSTDIR\Plugins"
  ClearErrors
  File "${PLUGIN_DLL}"
  ${If} ${Errors}
    Abort "gen_Tavrin.dll could not be written to $INSTDIR\Plugins."
  ${EndIf}
SectionEnd
