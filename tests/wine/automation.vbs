' A real automation client: creates the control by its ProgID, round-trips the four properties and
' calls both methods without a parent form. The last line is "all checks passed" only when every
' check held (the test looks for it: a script error does not always give cscript a failing exit code).
Option Explicit

Dim failures : failures = 0

Sub Check(ok, what)
  If ok Then
    WScript.Echo "ok   " & what
  Else
    WScript.Echo "FAIL " & what
    failures = failures + 1
  End If
End Sub

Dim t : Set t = CreateObject("Brenmoor.Tolvane")
Check TypeName(t) <> "", "CreateObject(""Brenmoor.Tolvane"") gives an object"

Function GetProp(obj, name)
  Select Case name
    Case "ResizeFont" : GetProp = obj.ResizeFont
    Case "KeepRatio" : GetProp = obj.KeepRatio
    Case "gfLowRes" : GetProp = obj.gfLowRes
    Case "mfRebuild" : GetProp = obj.mfRebuild
  End Select
End Function

Sub SetProp(obj, name, value)
  Select Case name
    Case "ResizeFont" : obj.ResizeFont = value
    Case "KeepRatio" : obj.KeepRatio = value
    Case "gfLowRes" : obj.gfLowRes = value
    Case "mfRebuild" : obj.mfRebuild = value
  End Select
End Sub

Dim names : names = Array("ResizeFont", "KeepRatio", "gfLowRes", "mfRebuild")
Dim name, value
For Each name In names
  Check GetProp(t, name) = False, name & " starts False"
  SetProp t, name, True
  value = GetProp(t, name)
  Check VarType(value) = vbBoolean, name & " reads back as a Boolean"
  Check CInt(value) = -1, name & " = True reads back as -1"
  SetProp t, name, False
  Check CInt(GetProp(t, name)) = 0, name & " = False reads back as 0"
Next

' The properties are independent fields.
t.KeepRatio = True
Check t.ResizeFont = False And t.gfLowRes = False And t.mfRebuild = False, "setting KeepRatio leaves the others"
t.KeepRatio = False

' Without a parent form Rebuild does nothing and returns normally.
On Error Resume Next
Err.Clear
t.Rebuild
Check Err.Number = 0, "Rebuild without a parent returns normally (" & Err.Number & " " & Err.Description & ")"

' Refresh without a parent fails with an error the script can read.
Err.Clear
t.Refresh
Dim number, description : number = Err.Number : description = Err.Description
Check number <> 0, "Refresh without a parent raises an error (" & number & ")"
Check number = 91, "the error is 'object variable not set' (91)"
Check Len(description) > 0, "the error has a description: " & description

' A member the control does not have.
Err.Clear
t.NoSuchMember = 1
Check Err.Number <> 0, "an unknown member raises an error (" & Err.Number & ")"
On Error GoTo 0

Set t = Nothing
If failures > 0 Then
  WScript.Echo failures & " check(s) failed"
  WScript.Quit 1
End If
WScript.Echo "all checks passed"
WScript.Quit 0
