; Runs the Quorvane connection detection program from an installer.
;
;   !include "qvproxydetect.nsh"
;   ${QvProxyDetect} "updates.example.com:443" $0   ; $0 = 0 reached, -3 not
;   ${If} ${QvReached} $0
;
; The macro extracts qvproxydetect.exe into $PLUGINSDIR and runs it there for the target (HOST:PORT
; or "HOST PORT", either optionally followed by the seconds the probe may wait, 1 to 20), waiting
; for it; the exit code lands in the variable. Define QV_PROXYDETECT_WAIT (seconds) before the
; call to pass that wait on every call. The program's log (qvproxydetect.log) and settings file
; (qvproxy.ini) are written to $PLUGINSDIR, which the installer removes when it ends: copy them
; out first if they are wanted. What worked is also recorded in the registry
; (HKCU\Software\Quorvane\Connection), which stays. $OUTDIR (when it was set) is as before the
; call. Works in ANSI and Unicode installers of any target: the program is a 32-bit Windows
; program.
;
; While the program runs the installer shows it: on the instfiles page the details line
; "Checking how this computer reaches TARGET..." and a progress bar that keeps moving; with no
; page up (in .onInit) a small banner, "Checking the connection..."; in a silent installer
; nothing. The details list never shows the temporary folder.
;
; The program is taken from the kit's Bin folder next to this file's NSIS folder or, when the
; kit's files were copied into an NSIS installation, from beside the plug-ins of the flavour being
; built (NSIS\Plugins\x86-unicode, x86-ansi or amd64-unicode); define QV_PROXYDETECT_EXE before
; the first call to take it from elsewhere.

!ifndef QV_PROXYDETECT_NSH
!define QV_PROXYDETECT_NSH

!include "LogicLib.nsh"

; The kit's own layout, seen from this file.
!define QV_PROXYDETECT_KIT_EXE "${__FILEDIR__}/../../Bin/qvproxydetect.exe"
!define QV_PROCESS_INFORMATION_SIZE 32
!define QV_WAIT_TIMEOUT 0x102
!define QV_PROGRESS_ID 1004
!define QV_PBM_GETPOS 0x408
!define QV_PBM_SETRANGE32 0x406
; NSIS's progress bar runs from 0 to 30000: one sweep takes 20 steps of a quarter second.
!define QV_PROGRESS_RANGE 30000
!define QV_PROGRESS_STEP 1500
!define QV_PROGRESS_TICK_MS 250

; Chooses the program, and the size of the structure CreateProcess reads, at the call, when the
; script's Unicode and Target settings are known.
!macro QvProxyDetectFindProgram
  !if ${NSIS_PTR_SIZE} > 4
    !define /redef QV_STARTUPINFO_SIZE 104
  !else
    !define /redef QV_STARTUPINFO_SIZE 68
  !endif
  !ifndef QV_PROXYDETECT_EXE
    !if ${NSIS_PTR_SIZE} > 4
      !define /redef QV_PLUGIN_FLAVOUR amd64-unicode
    !else if ${NSIS_CHAR_SIZE} > 1
      !define /redef QV_PLUGIN_FLAVOUR x86-unicode
    !else
      !define /redef QV_PLUGIN_FLAVOUR x86-ansi
    !endif
    !if /FileExists "${QV_PROXYDETECT_KIT_EXE}"
      !define QV_PROXYDETECT_EXE "${QV_PROXYDETECT_KIT_EXE}"
    !else if /FileExists "${NSISDIR}/Plugins/${QV_PLUGIN_FLAVOUR}/qvproxydetect.exe"
      !define QV_PROXYDETECT_EXE "${NSISDIR}/Plugins/${QV_PLUGIN_FLAVOUR}/qvproxydetect.exe"
    !else
      !error "qvproxydetect.nsh: qvproxydetect.exe is neither in the kit's Bin folder nor beside the ${QV_PLUGIN_FLAVOUR} plug-ins; copy the kit's Bin\qvproxydetect.exe into ${NSISDIR}\Plugins\${QV_PLUGIN_FLAVOUR}\, or define QV_PROXYDETECT_EXE with its path before calling QvProxyDetect"
    !endif
  !endif
!macroend

!macro QvProxyDetect TARGET RESULT
  !insertmacro QvProxyDetectFindProgram
  ; Declared on first use, so that a script that includes the header without calling the macro
  ; gets no warning about an unused variable.
  !ifndef QV_DETECT_VARIABLE_DECLARED
    !define QV_DETECT_VARIABLE_DECLARED
    Var /GLOBAL QvProxyDetectOutDir
    Var /GLOBAL QvProxyDetectCommand
    Var /GLOBAL QvProxyDetectInfo
    Var /GLOBAL QvProxyDetectProcess
    Var /GLOBAL QvProxyDetectBar
    Var /GLOBAL QvProxyDetectLow
    Var /GLOBAL QvProxyDetectStep
    Var /GLOBAL QvProxyDetectBanner
  !endif
  InitPluginsDir
  StrCpy $QvProxyDetectOutDir $OUTDIR
  !ifdef QV_PROXYDETECT_WAIT
    StrCpy $QvProxyDetectCommand '"$PLUGINSDIR\qvproxydetect.exe" ${TARGET} ${QV_PROXYDETECT_WAIT}'
  !else
    StrCpy $QvProxyDetectCommand '"$PLUGINSDIR\qvproxydetect.exe" ${TARGET}'
  !endif
  ; The temporary folder is nothing the user needs to read.
  SetDetailsPrint none
  ; Also the current directory of the program, where its log goes.
  SetOutPath "$PLUGINSDIR"
  File "/oname=$PLUGINSDIR\qvproxydetect.exe" "${QV_PROXYDETECT_EXE}"
  SetDetailsPrint lastused
  DetailPrint "Checking how this computer reaches ${TARGET}..."

  ; The instfiles page's progress bar when that page is up, else a banner (unless silent).
  StrCpy $QvProxyDetectBar 0
  StrCpy $QvProxyDetectBanner 0
  ${If} $HWNDPARENT <> 0
    FindWindow $QvProxyDetectBar "#32770" "" $HWNDPARENT
    ${If} $QvProxyDetectBar <> 0
      GetDlgItem $QvProxyDetectBar $QvProxyDetectBar ${QV_PROGRESS_ID}
    ${EndIf}
  ${EndIf}
  ${If} $QvProxyDetectBar = 0
  ${AndIfNot} ${Silent}
    Banner::show "Checking the connection..."
    StrCpy $QvProxyDetectBanner 1
  ${EndIf}

  ; Started rather than waited for with ExecWait, so that the bar can move while the program
  ; runs. A program that could not even start reached nothing either.
  StrCpy ${RESULT} -3
  System::Alloc ${QV_STARTUPINFO_SIZE}
  Pop $QvProxyDetectInfo
  System::Call "*$QvProxyDetectInfo(i ${QV_STARTUPINFO_SIZE})"
  System::Alloc ${QV_PROCESS_INFORMATION_SIZE}
  Pop $QvProxyDetectProcess
  Push $QvProxyDetectCommand
  System::Call "kernel32::CreateProcess(p 0, t s, p 0, p 0, i 0, i 0, p 0, t '$PLUGINSDIR', \
                p $QvProxyDetectInfo, p $QvProxyDetectProcess) i .s"
  Pop $QvProxyDetectStep
  System::Free $QvProxyDetectInfo
  ${If} $QvProxyDetectStep <> 0
    System::Call "*$QvProxyDetectProcess(p, p .s)"
    System::Call "kernel32::CloseHandle(p s)"
    System::Call "*$QvProxyDetectProcess(p .s)"
    System::Free $QvProxyDetectProcess
    Pop $QvProxyDetectProcess
    StrCpy $QvProxyDetectStep 0
    ${Do}
      System::Call "kernel32::WaitForSingleObject(p $QvProxyDetectProcess, \
                    i ${QV_PROGRESS_TICK_MS}) i .s"
      Pop $QvProxyDetectInfo
      ${If} $QvProxyDetectInfo <> ${QV_WAIT_TIMEOUT}
        ${ExitDo}
      ${EndIf}
      ; NSIS sets the bar's position after every instruction, from where the script is, so the
      ; bar is moved by shifting its range under that position instead.
      ${If} $QvProxyDetectBar <> 0
        IntOp $QvProxyDetectStep $QvProxyDetectStep + ${QV_PROGRESS_STEP}
        IntOp $QvProxyDetectStep $QvProxyDetectStep % ${QV_PROGRESS_RANGE}
        SendMessage $QvProxyDetectBar ${QV_PBM_GETPOS} 0 0 $QvProxyDetectLow
        IntOp $QvProxyDetectLow $QvProxyDetectLow - $QvProxyDetectStep
        IntOp $QvProxyDetectInfo $QvProxyDetectLow + ${QV_PROGRESS_RANGE}
        SendMessage $QvProxyDetectBar ${QV_PBM_SETRANGE32} $QvProxyDetectLow $QvProxyDetectInfo
      ${EndIf}
    ${Loop}
    System::Call "kernel32::GetExitCodeProcess(p $QvProxyDetectProcess, *i .s)"
    Pop ${RESULT}
    System::Call "kernel32::CloseHandle(p $QvProxyDetectProcess)"
  ${Else}
    System::Free $QvProxyDetectProcess
  ${EndIf}
  ; A 64-bit installer may read the exit code -3 as unsigned (4294967293); IntOp's 32-bit
  ; arithmetic gives -3 back, and leaves 0 and -3 as they are.
  IntOp ${RESULT} ${RESULT} + 0

  ${If} $QvProxyDetectBar <> 0
    SendMessage $QvProxyDetectBar ${QV_PBM_SETRANGE32} 0 ${QV_PROGRESS_RANGE}
  ${EndIf}
  ${If} $QvProxyDetectBanner = 1
    Banner::destroy
  ${EndIf}
  SetDetailsPrint none
  StrCmp $QvProxyDetectOutDir "" +2
    SetOutPath $QvProxyDetectOutDir
  SetDetailsPrint lastused
!macroend
!define QvProxyDetect "!insertmacro QvProxyDetect"

; LogicLib test: ${If} ${QvReached} $0 holds when the detection left 0 in $0.
!macro _QvReached _a _b _t _f
  StrCmp "${_b}" "0" `${_t}` `${_f}`
!macroend
!define QvReached `"" QvReached`

!endif
