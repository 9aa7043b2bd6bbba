' Creates the Tolvane control through COM, as any automation client does, and shows what a caller sees
' without a form: the four properties and the error that Refresh raises. Run it after registering:
'
'   cscript //nologo check-control.vbs
'
' (On 64-bit Windows, %SystemRoot%\SysWOW64\cscript.exe checks the x86 registration.) It ends with
' "the control works" and exit code 0, or names what is wrong and exits with 1.
Option Explicit

Dim t
On Error Resume Next
Set t = CreateObject("Brenmoor.Tolvane")
If Err.Number <> 0 Then
  WScript.Echo "Brenmoor.Tolvane cannot be created (" & Err.Number & ": " & Err.Description & ")."
  WScript.Echo "Register Brenmoor.ocx for this processor first (register.cmd or the installer)."
  WScript.Quit 1
End If
On Error GoTo 0
WScript.Echo "Brenmoor.Tolvane created."

' The properties are plain switches, all False until code sets them.
WScript.Echo "ResizeFont = " & t.ResizeFont & ", KeepRatio = " & t.KeepRatio & ", gfLowRes = " & t.gfLowRes & _
             ", mfRebuild = " & t.mfRebuild
t.ResizeFont = True
t.KeepRatio = True
WScript.Echo "after setting: ResizeFont = " & t.ResizeFont & ", KeepRatio = " & t.KeepRatio

' Without a form there is nothing to lay out: Rebuild does nothing, Refresh raises error 91.
Dim refreshError
On Error Resume Next
t.Rebuild
If Err.Number <> 0 Then
  WScript.Echo "Rebuild raised " & Err.Number & ": " & Err.Description
  WScript.Quit 1
End If
t.Refresh
refreshError = Err.Number
WScript.Echo "Refresh without a form raises " & Err.Number & ": " & Err.Description
Err.Clear
On Error GoTo 0
If refreshError <> 91 Then WScript.Quit 1

WScript.Echo "the control works"
