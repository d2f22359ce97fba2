program text;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Routines de chaîne : 200 000 lignes bâties avec IntToStr et la concaténation, puis
// découpées et comparées avec Trim, Pos, Copy, UpperCase, LowerCase et StrToInt.
const
  Lignes = 200000;

var
  i, n, total, croissants, items, somme: Integer;
  ligne, mot, tete, precedent: string;
begin
  total := 0;
  croissants := 0;
  items := 0;
  somme := 0;
  precedent := '';
  for i := 1 to Lignes do
  begin
    ligne := '  Item ' + IntToStr(i * 7 mod 1000) + ' : Valeur ' + IntToStr(i) + '  ';
    ligne := Trim(ligne);
    tete := UpperCase(Copy(ligne, 1, 4));
    if tete = 'ITEM' then
      Inc(items);
    n := Pos(':', ligne);
    mot := LowerCase(Copy(ligne, n + 2, Length(ligne)));
    if mot > precedent then
      Inc(croissants);
    precedent := mot;
    somme := (somme * 31 + n * StrToInt(Copy(ligne, 6, n - 7))) mod 1000003;
    total := total + Length(tete) + Length(mot);
  end;
  showmessage('lines ' + IntToStr(Lignes) + ', items ' + IntToStr(items) + ', rising ' +
    IntToStr(croissants) + ', sum ' + IntToStr(somme) + ', chars ' + IntToStr(total));
end.
