; A test installer that passes /IMAGEDIR=TEXT from its command line to the plug-in as it is (empty,
; missing or too long) and writes the choice to /CHOICEFILE=PATH.
Unicode false
!addplugindir /x86-ansi "${QV_PLUGIN_DIR}"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

Name "qvonsplash test"
OutFile "${QV_OUTFILE}"
RequestExecutionLevel user

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/IMAGEDIR=" $R1
  qvonsplash::show "$R1"
  Pop $0
  ${GetOptions} $R0 "/CHOICEFILE=" $R1
  FileOpen $R2 $R1 w
  FileWrite $R2 $0
  FileClose $R2
  Quit
FunctionEnd

Section
SectionEnd
