' The code of a form laid out by the Tolvane control, for a classic Visual Basic form. Paste it into the
' form's code window. The form needs:
'   - one Tolvane control named Tolvane1 (from the "Brenmoor" component);
'   - a text box named txtRebuild with Visible = False and Text = "True" (the control keeps track of
'     minimising and restoring through it; without it nothing is ever laid out);
'   - ScaleMode = 1 (twips), the default.
' Your own controls need nothing: every control on the form is recorded and scaled.
Option Explicit

Private Sub Form_Load()
    ' The switches are not saved with the form: set them here, every time the form loads.
    Tolvane1.ResizeFont = True      ' scale font sizes with the form
    Tolvane1.KeepRatio = False      ' True keeps the form's height-to-width ratio
End Sub

' The first resize (when the form is first shown) records the layout, and later resizes scale from it.
' After you move or add controls from code, make the current layout the new reference:
Private Sub RecordLayoutNow()
    Tolvane1.Rebuild
End Sub

' A restore from the taskbar does not lay out by itself (its resize only ends the minimise handshake).
' To see the layout at once after restoring, lay out from code:
Private Sub LayOutNow()
    Tolvane1.Refresh
End Sub
