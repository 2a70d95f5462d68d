; A test installer that passes /IMAGEDIR=TEXT from its command line to the plug-in as it is (empty,
; missing, too long or beyond the ANSI code page) and writes the choice to /CHOICEFILE=PATH. Built
; for each flavour with makensis -X"Unicode false", -X"Unicode true" or -X"Target amd64-unicode";
; QV_PLUGINS is the kit's NSIS/Plugins folder. With QV_DPI_AWARE the installer declares itself
; DPI-aware, as modern installers do.
!addplugindir /x86-ansi "${QV_PLUGINS}/x86-ansi"
!addplugindir /x86-unicode "${QV_PLUGINS}/x86-unicode"
!addplugindir /amd64-unicode "${QV_PLUGINS}/amd64-unicode"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

Name "qvonsplash test"
OutFile "${QV_OUTFILE}"
RequestExecutionLevel user
!ifdef QV_DPI_AWARE
ManifestDPIAware true
!endif

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/IMAGEDIR=" $R1
  qvonsplash::show "$R1"
  Pop $0
  ${GetOptions} $R0 "/CHOICEFILE=" $R1
  FileOpen $R2 $R1 w
  FileWrite $R2 "choice=$0$\r$\n"
  FileClose $R2
  Quit
FunctionEnd

Section
SectionEnd
