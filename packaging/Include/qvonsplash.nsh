; Shows the Quorvane splash dialog from an installer.
;
;   !include "qvonsplash.nsh"
;   ${QvSplash} "skin" $0   ; $0 = 1 OK, 2 VIEWONLY, 3 CANCEL (or Escape), -1 no dialog
;
; SKIN is a folder on the machine that builds the installer, holding the skin's files:
; qvonsplskn.bmp, qvonsplash.bmp, qvonsplok1/2.bmp, qvonsplvo1/2.bmp, qvonsplno1/2.bmp and,
; when wanted, qvonsplash.ini and qvonsplash.rgn. The macro packs them, extracts them into
; $PLUGINSDIR\qvonsplash at run time, shows the dialog and leaves its answer in the variable.
; $OUTDIR (when it was set) is as before the call.
;
; The plug-in is found in the kit's Plugins folder next to this file, in the flavour that the
; script builds (Unicode true or false, Target amd64-unicode).

!ifndef QV_ONSPLASH_NSH
!define QV_ONSPLASH_NSH

!addplugindir /x86-ansi "${__FILEDIR__}/../Plugins/x86-ansi"
!addplugindir /x86-unicode "${__FILEDIR__}/../Plugins/x86-unicode"
!addplugindir /amd64-unicode "${__FILEDIR__}/../Plugins/amd64-unicode"

!macro QvSplash SKIN RESULT
  ; Declared on first use, so that a script that includes the header without calling the macro
  ; gets no warning about an unused variable.
  !ifndef QV_SPLASH_VARIABLE_DECLARED
    !define QV_SPLASH_VARIABLE_DECLARED
    Var /GLOBAL QvSplashOutDir
  !endif
  InitPluginsDir
  StrCpy $QvSplashOutDir $OUTDIR
  ; The plug-in reads the shape file qvonsplash.rgn from the current directory, which SetOutPath
  ; sets; the other files through the directory passed to it.
  SetOutPath "$PLUGINSDIR\qvonsplash"
  File "${SKIN}/qvonspl*.bmp"
  File /nonfatal "${SKIN}/qvonsplash.ini"
  File /nonfatal "${SKIN}/qvonsplash.rgn"
  qvonsplash::show "$PLUGINSDIR\qvonsplash\"
  Pop ${RESULT}
  StrCmp $QvSplashOutDir "" +2
    SetOutPath $QvSplashOutDir
!macroend
!define QvSplash "!insertmacro QvSplash"

!endif
