' VBScript's constants reach scripts unqualified and through the library's name.
echo(vbYesNo)
echo(VBScript.vbSystemModal)
echo(vbDefaultButton4 + vbCritical)
