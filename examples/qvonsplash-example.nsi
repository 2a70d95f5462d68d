; An installer that opens with the qvonsplash dialog and acts on the choice:
;   1  OK        install everything
;   2  VIEWONLY  install the viewer only
;   3  CANCEL    (also Escape and closing the dialog) leave without installing
;
; Build it from the build tree, where the plug-in and the generated skin are:
;   makensis -DQV_PLUGIN_DIR=build/windows-x86/bin -DQV_SKIN_DIR=build/windows-x86/examples/skin \
;            examples/qvonsplash-example.nsi
; For automation, /CHOICEFILE=PATH on the installer's command line writes the choice to PATH.

Unicode false

!ifndef QV_PLUGIN_DIR
  !define QV_PLUGIN_DIR "${__FILEDIR__}/../build/windows-x86/bin"
!endif
!ifndef QV_SKIN_DIR
  !define QV_SKIN_DIR "${__FILEDIR__}/../build/windows-x86/examples/skin"
!endif
!ifndef QV_OUTFILE
  !define QV_OUTFILE "qvonsplash-example.exe"
!endif

!addplugindir /x86-ansi "${QV_PLUGIN_DIR}"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

Name "Quorvane splash example"
OutFile "${QV_OUTFILE}"
InstallDir "$TEMP\Quorvane splash example"
RequestExecutionLevel user

Var Choice

Function .onInit
  InitPluginsDir
  ; SetOutPath also makes this the current directory, which is where the plug-in opens the shape
  ; file qvonsplash.rgn; the other files are found through the directory passed to it.
  SetOutPath "$PLUGINSDIR"
  File "${QV_SKIN_DIR}/qvonsplskn.bmp"
  File "${QV_SKIN_DIR}/qvonsplash.bmp"
  File "${QV_SKIN_DIR}/qvonsplok1.bmp"
  File "${QV_SKIN_DIR}/qvonsplok2.bmp"
  File "${QV_SKIN_DIR}/qvonsplvo1.bmp"
  File "${QV_SKIN_DIR}/qvonsplvo2.bmp"
  File "${QV_SKIN_DIR}/qvonsplno1.bmp"
  File "${QV_SKIN_DIR}/qvonsplno2.bmp"
  File "${QV_SKIN_DIR}/qvonsplash.ini"
  File "${QV_SKIN_DIR}/qvonsplash.rgn"

  ; The directory is a prefix of the file names, so it ends with a backslash.
  qvonsplash::show "$PLUGINSDIR\"
  Pop $Choice

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CHOICEFILE=" $R1
  ${IfNot} ${Errors}
    FileOpen $R2 $R1 w
    FileWrite $R2 $Choice
    FileClose $R2
  ${EndIf}

  ${If} $Choice != 1
  ${AndIf} $Choice != 2
    ; "3", or "-1" when the dialog could not be shown.
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd

Section "Program"
  SetOutPath "$INSTDIR"
  ${If} $Choice == 2
    FileOpen $R0 "$INSTDIR\mode.txt" w
    FileWrite $R0 "view only$\r$\n"
    FileClose $R0
  ${Else}
    FileOpen $R0 "$INSTDIR\mode.txt" w
    FileWrite $R0 "full$\r$\n"
    FileClose $R0
  ${EndIf}
SectionEnd
