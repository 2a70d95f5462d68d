; Shows the Quorvane splash dialog from an installer.
;
;   !include "qvonsplash.nsh"
;   ${QvSplash} "skin" $0   ; $0 = 1 OK, 2 VIEWONLY, 3 CANCEL (or Escape), -1 no dialog
;
; SKIN is a folder on the machine that builds the installer, holding the skin's files:
; qvonsplskn.bmp, qvonsplash.bmp, qvonsplok1/2.bmp, qvonsplvo1/2.bmp, qvonsplno1/2.bmp and,
; when wanted, qvonsplash.ini and qvonsplash.rgn. The macro packs them, extracts them into
; $PLUGINSDIR\qvonsplash at run time, shows the dialog and leaves its answer in the variable.
; $OUTDIR (when it was set) is as before the call, and the details list shows no temporary folder.
; The build stops, naming the file, when the background or one of the six button images is missing
; from SKIN; the picture may be left out.
;
; In a silent installer (/S, or SilentInstall silent) nothing is shown and the variable gets the
; choice that QV_SPLASH_SILENT_CHOICE names (define it before the call; default 1, OK).
;
; The plug-in is found in the kit's Plugins folder next to this file, in the flavour that the
; script builds (Unicode true or false, Target amd64-unicode), or among NSIS's own plug-ins when
; the kit's files were copied into an NSIS installation.

!ifndef QV_ONSPLASH_NSH
!define QV_ONSPLASH_NSH

!addplugindir /x86-ansi "${__FILEDIR__}/../Plugins/x86-ansi"
!addplugindir /x86-unicode "${__FILEDIR__}/../Plugins/x86-unicode"
!addplugindir /amd64-unicode "${__FILEDIR__}/../Plugins/amd64-unicode"

!include "LogicLib.nsh"

!macro QvSplashRequire SKIN NAME
  !if ! /FileExists "${SKIN}/${NAME}"
    !error "qvonsplash.nsh: the skin folder '${SKIN}' has no ${NAME} (a skin needs the background qvonsplskn.bmp and the button images qvonsplok1.bmp, qvonsplok2.bmp, qvonsplvo1.bmp, qvonsplvo2.bmp, qvonsplno1.bmp, qvonsplno2.bmp; the picture qvonsplash.bmp may be left out)"
  !endif
!macroend

!macro QvSplash SKIN RESULT
  ; Declared on first use, so that a script that includes the header without calling the macro
  ; gets no warning about an unused variable.
  !ifndef QV_SPLASH_VARIABLE_DECLARED
    !define QV_SPLASH_VARIABLE_DECLARED
    Var /GLOBAL QvSplashOutDir
  !endif
  !insertmacro QvSplashRequire "${SKIN}" qvonsplskn.bmp
  !insertmacro QvSplashRequire "${SKIN}" qvonsplok1.bmp
  !insertmacro QvSplashRequire "${SKIN}" qvonsplok2.bmp
  !insertmacro QvSplashRequire "${SKIN}" qvonsplvo1.bmp
  !insertmacro QvSplashRequire "${SKIN}" qvonsplvo2.bmp
  !insertmacro QvSplashRequire "${SKIN}" qvonsplno1.bmp
  !insertmacro QvSplashRequire "${SKIN}" qvonsplno2.bmp
  ${If} ${Silent}
    !ifdef QV_SPLASH_SILENT_CHOICE
      StrCpy ${RESULT} ${QV_SPLASH_SILENT_CHOICE}
    !else
      StrCpy ${RESULT} 1
    !endif
  ${Else}
    InitPluginsDir
    StrCpy $QvSplashOutDir $OUTDIR
    ; The temporary folder is nothing the user needs to read.
    SetDetailsPrint none
    ; The plug-in reads the shape file qvonsplash.rgn from the current directory, which
    ; SetOutPath sets; the other files through the directory passed to it.
    SetOutPath "$PLUGINSDIR\qvonsplash"
    File "${SKIN}/qvonspl*.bmp"
    File /nonfatal "${SKIN}/qvonsplash.ini"
    File /nonfatal "${SKIN}/qvonsplash.rgn"
    ; Restored before the plug-in call: NSIS wraps every plug-in call in a "none" and a
    ; "lastused" of its own, which would make our "none" the mode that "lastused" restores and
    ; leave the installer's details silent for good.
    SetDetailsPrint lastused
    qvonsplash::show "$PLUGINSDIR\qvonsplash\"
    Pop ${RESULT}
    SetDetailsPrint none
    StrCmp $QvSplashOutDir "" +2
      SetOutPath $QvSplashOutDir
    SetDetailsPrint lastused
  ${EndIf}
!macroend
!define QvSplash "!insertmacro QvSplash"

!endif
