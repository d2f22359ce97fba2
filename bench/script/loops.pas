program loops;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Boucles imbriquées sur un tableau à deux dimensions de 1000 × 1000 entiers.
var
  a: array[0..999, 0..999] of Integer;
  i, j: Integer;
  somme: Int64;
begin
  for i := 0 to 999 do
    for j := 0 to 999 do
      a[i][j] := i * j mod 7;
  somme := 0;
  for i := 0 to 999 do
    for j := 0 to 999 do
      somme := somme + a[i][j];
  showmessage('sum ' + IntToStr(somme));
end.
