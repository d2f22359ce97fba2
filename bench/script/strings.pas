program strings;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Chaînes : 200 000 caractères ajoutés un à un, puis parcourus avec Copy et Pos.
const
  Longueur = 200000;
  Morceau = 1000;

var
  s, m: string;
  i, x, trouves, somme: Integer;
begin
  s := '';
  x := 1;
  for i := 1 to Longueur do
  begin
    x := (x * 75 + 74) mod 65537;
    s := s + Chr(Ord('a') + x mod 4);
  end;
  trouves := 0;
  for i := 1 to Length(s) - 2 do
    if Copy(s, i, 3) = 'abc' then
      Inc(trouves);
  somme := 0;
  for i := 0 to Length(s) div Morceau - 1 do
  begin
    m := Copy(s, i * Morceau + 1, Morceau);
    somme := somme + Pos('dcbadc', m);
  end;
  showmessage('length ' + IntToStr(Length(s)) + ', abc ' + IntToStr(trouves) + ', pos sum ' + IntToStr(somme));
end.
