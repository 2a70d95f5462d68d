; An installer that opens with the qvonsplash dialog, acts on the choice, and checks that the
; update server can be reached:
;   1  OK        install everything
;   2  VIEWONLY  install the viewer only
;   3  CANCEL    (also Escape and closing the dialog) leave without installing
;
; It is built from the kit, where it lies in NSIS/Examples/qvonsplash/ beside its skin:
;   makensis NSIS/Examples/qvonsplash/qvonsplash-example.nsi
; (after "cmake --build --preset windows-x86" the kit is in build/windows-x86/dist/). The script
; builds a Unicode installer, NSIS's default; "makensis -X"Unicode false" ..." makes an ANSI one,
; "makensis -X"Target amd64-unicode" ..." a 64-bit one.
;
; On the installer's command line, /TARGET=HOST:PORT names the server to reach (default below) and
; /CHOICEFILE=PATH writes "choice=N" and, when the detection ran, "detect=N" to PATH.

!addincludedir "../../Include" ; makensis works in the script's own folder
!include "qvonsplash.nsh"
!include "qvproxydetect.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!ifndef QV_OUTFILE
  !define QV_OUTFILE "qvonsplash-example.exe"
!endif

Name "Quorvane splash example"
OutFile "${QV_OUTFILE}"
InstallDir "$TEMP\Quorvane splash example"
RequestExecutionLevel user

Var Choice
Var Reached

Function .onInit
  ${QvSplash} "skin" $Choice

  ${If} $Choice == 1
  ${OrIf} $Choice == 2
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/TARGET=" $R1
    ${If} ${Errors}
      StrCpy $R1 "updates.example.com:443"
    ${EndIf}
    ${QvProxyDetect} $R1 $Reached
  ${EndIf}

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CHOICEFILE=" $R1
  ${IfNot} ${Errors}
    FileOpen $R2 $R1 w
    FileWrite $R2 "choice=$Choice$\r$\n"
    ${If} $Reached != ""
      FileWrite $R2 "detect=$Reached$\r$\n"
    ${EndIf}
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
  FileOpen $R0 "$INSTDIR\mode.txt" w
  ${If} $Choice == 2
    FileWrite $R0 "view only$\r$\n"
  ${Else}
    FileWrite $R0 "full$\r$\n"
  ${EndIf}
  ${If} $Reached == 0
    FileWrite $R0 "update server reached$\r$\n"
  ${Else}
    FileWrite $R0 "update server not reached$\r$\n"
  ${EndIf}
  FileClose $R0
SectionEnd
