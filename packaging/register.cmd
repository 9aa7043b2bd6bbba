@echo off
rem Registers Brenmoor.ocx for every processor this Windows runs programs for: x64\Brenmoor.ocx with
rem the 64-bit regsvr32 and x86\Brenmoor.ocx with the 32-bit one (SysWOW64) on 64-bit Windows,
rem x86\Brenmoor.ocx alone on 32-bit Windows. Run it as administrator, from where the files stay.
rem "register.cmd /u" (unregister.cmd) removes the registration again. Each step is checked with
rem "if errorlevel", which every command interpreter that runs .cmd files reads alike.
setlocal
set "here=%~dp0"
set "undo="
set "done=Registered"
if /i "%~1"=="/u" (
  set "undo=/u"
  set "done=Unregistered"
)
set "sys64=%SystemRoot%\System32"
rem A 32-bit command prompt on 64-bit Windows sees SysWOW64 as System32; Sysnative is the real one.
if defined PROCESSOR_ARCHITEW6432 set "sys64=%SystemRoot%\Sysnative"

if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" goto windows64
if /i "%PROCESSOR_ARCHITEW6432%"=="AMD64" goto windows64
if /i "%PROCESSOR_ARCHITECTURE%"=="x86" goto windows32
echo This Windows runs neither x64 nor x86 programs natively (%PROCESSOR_ARCHITECTURE%).
exit /b 1

:windows64
"%sys64%\regsvr32.exe" %undo% /s "%here%x64\Brenmoor.ocx"
if errorlevel 1 goto failed
echo %done% x64\Brenmoor.ocx (64-bit programs).
rem A 64-bit Windows may run no 32-bit programs at all (Server Core without WOW64): nothing to do.
if not exist "%SystemRoot%\SysWOW64\regsvr32.exe" (
  echo This Windows runs no 32-bit programs: x86\Brenmoor.ocx is left alone.
  exit /b 0
)
"%SystemRoot%\SysWOW64\regsvr32.exe" %undo% /s "%here%x86\Brenmoor.ocx"
if errorlevel 1 goto failed
echo %done% x86\Brenmoor.ocx (32-bit programs).
exit /b 0

:windows32
"%SystemRoot%\System32\regsvr32.exe" %undo% /s "%here%x86\Brenmoor.ocx"
if errorlevel 1 goto failed
echo %done% x86\Brenmoor.ocx.
exit /b 0

:failed
echo regsvr32 failed: run this as administrator (right-click, Run as administrator).
exit /b 1
