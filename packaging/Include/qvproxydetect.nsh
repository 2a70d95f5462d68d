; Runs the Quorvane connection detection program from an installer.
;
;   !include "qvproxydetect.nsh"
;   ${QvProxyDetect} "updates.example.com:443" $0   ; $0 = 0 reached, -3 not
;
; The macro extracts qvproxydetect.exe into $PLUGINSDIR and runs it there for the target (HOST:PORT
; or "HOST PORT"), waiting for it; the exit code lands in the variable. The program's log
; (qvproxydetect.log) and settings file (qvproxy.ini) are written to $PLUGINSDIR, which the
; installer removes when it ends: copy them out first if they are wanted. What worked is also
; recorded in the registry (HKCU\Software\Quorvane\Connection), which stays. $OUTDIR (when it
; was set) is as before the call. Works in ANSI and Unicode installers of any target: the program
; is a 32-bit Windows program.
;
; The program is taken from the kit's Bin folder next to this file's NSIS folder; define
; QV_PROXYDETECT_EXE before the !include to take it from elsewhere.

!ifndef QV_PROXYDETECT_NSH
!define QV_PROXYDETECT_NSH

!ifndef QV_PROXYDETECT_EXE
  !define QV_PROXYDETECT_EXE "${__FILEDIR__}/../../Bin/qvproxydetect.exe"
!endif

!macro QvProxyDetect TARGET RESULT
  ; Declared on first use, so that a script that includes the header without calling the macro
  ; gets no warning about an unused variable.
  !ifndef QV_DETECT_VARIABLE_DECLARED
    !define QV_DETECT_VARIABLE_DECLARED
    Var /GLOBAL QvProxyDetectOutDir
  !endif
  InitPluginsDir
  StrCpy $QvProxyDetectOutDir $OUTDIR
  ; Also the current directory of the program, where its log goes.
  SetOutPath "$PLUGINSDIR"
  File "/oname=$PLUGINSDIR\qvproxydetect.exe" "${QV_PROXYDETECT_EXE}"
  ClearErrors
  ExecWait '"$PLUGINSDIR\qvproxydetect.exe" ${TARGET}' ${RESULT}
  ; A program that could not even start reached nothing either.
  IfErrors 0 +2
    StrCpy ${RESULT} -3
  ; A 64-bit installer reports the exit code -3 as unsigned (4294967293); IntOp's 32-bit
  ; arithmetic gives -3 back, and leaves 0 and -3 of a 32-bit installer as they are.
  IntOp ${RESULT} ${RESULT} + 0
  StrCmp $QvProxyDetectOutDir "" +2
    SetOutPath $QvProxyDetectOutDir
!macroend
!define QvProxyDetect "!insertmacro QvProxyDetect"

!endif
