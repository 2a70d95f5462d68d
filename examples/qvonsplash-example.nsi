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
; "makensis -X"Target amd64-unicode" ..." a 64-bit one. "-DQV_SKIN=FOLDER" takes another skin.
;
; The dialog opens in .onInit, before the wizard; the detection runs in the section, on the
; instfiles page, where the user sees a line and a moving bar while it takes its time. A silent
; install (/S) shows no dialog and installs everything (QV_SPLASH_SILENT_CHOICE, default 1).
;
; On the installer's command line, /TARGET=HOST:PORT names the server to reach (default below;
; "HOST:PORT SECONDS" also shortens the probe's wait) and /CHOICEFILE=PATH writes "choice=N" and,
; when the detection ran, "detect=N" to PATH and closes the installer once it is done.

!addincludedir "../../Include" ; makensis works in the script's own folder
!include "qvonsplash.nsh"
!include "qvproxydetect.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!ifndef QV_OUTFILE
  !define QV_OUTFILE "qvonsplash-example.exe"
!endif
!ifndef QV_SKIN
  !define QV_SKIN "skin"
!endif

Name "Quorvane splash example"
OutFile "${QV_OUTFILE}"
InstallDir "$TEMP\Quorvane splash example"
RequestExecutionLevel user
ShowInstDetails show

Page instfiles

Var Choice
Var Reached
Var ChoiceFile

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CHOICEFILE=" $ChoiceFile

  ${QvSplash} "${QV_SKIN}" $Choice

  ${If} $Choice != 1
  ${AndIf} $Choice != 2
    ; "3", or "-1" when the dialog could not be shown.
    Call WriteChoice
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd

Function WriteChoice
  ${If} $ChoiceFile != ""
    FileOpen $R2 $ChoiceFile w
    FileWrite $R2 "choice=$Choice$\r$\n"
    ${If} $Reached != ""
      FileWrite $R2 "detect=$Reached$\r$\n"
    ${EndIf}
    FileClose $R2
  ${EndIf}
FunctionEnd

Section "Program"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/TARGET=" $R1
  ${If} ${Errors}
    StrCpy $R1 "updates.example.com:443"
  ${EndIf}
  ${QvProxyDetect} $R1 $Reached

  SetOutPath "$INSTDIR"
  FileOpen $R0 "$INSTDIR\mode.txt" w
  ${If} $Choice == 2
    FileWrite $R0 "view only$\r$\n"
  ${Else}
    FileWrite $R0 "full$\r$\n"
  ${EndIf}
  ${If} ${QvReached} $Reached
    DetailPrint "The update server can be reached."
    FileWrite $R0 "update server reached$\r$\n"
  ${Else}
    DetailPrint "The update server cannot be reached; updates are checked for later."
    FileWrite $R0 "update server not reached$\r$\n"
  ${EndIf}
  FileClose $R0

  Call WriteChoice
  ${If} $ChoiceFile != ""
    SetAutoClose true
  ${EndIf}
SectionEnd
