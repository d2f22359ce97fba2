program textstats;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Un script réel : découpe d'un texte en mots, fréquences, tri, mise en forme.
type
  TMot = record
    Texte: string;
    Nombre: Integer;
  end;

var
  mots: array of TMot;
  texte, mot, ligne: string;
  i, j, k: Integer;
  tmp: TMot;

function EstLettre(c: Char): Boolean;
begin
  Result := ((c >= 'a') and (c <= 'z')) or ((c >= 'A') and (c <= 'Z')) or (c = 'é') or (c = 'è') or (c = 'à') or (c = 'É');
end;

procedure Compter(const m: string);
var
  i: Integer;
begin
  for i := 0 to High(mots) do
    if mots[i].Texte = m then
    begin
      Inc(mots[i].Nombre);
      Exit;
    end;
  SetLength(mots, Length(mots) + 1);
  mots[High(mots)].Texte := m;
  mots[High(mots)].Nombre := 1;
end;

function Remplacer(const s, ancien, nouveau: string): string;
var
  reste: string;
  p: Integer;
begin
  Result := '';
  reste := s;
  p := Pos(ancien, reste);
  while p > 0 do
  begin
    Result := Result + Copy(reste, 1, p - 1) + nouveau;
    Delete(reste, 1, p + Length(ancien) - 1);
    p := Pos(ancien, reste);
  end;
  Result := Result + reste;
end;

begin
  texte := 'Le chat voit le chien. Le chien voit le chat, puis le chat part ; ' +
           'la souris voit tout et la souris rit. Été comme hiver, le chat dort.';
  mot := '';
  for i := 1 to Length(texte) + 1 do
  begin
    if (i <= Length(texte)) and EstLettre(texte[i]) then
      mot := mot + texte[i]
    else if mot <> '' then
    begin
      Compter(LowerCase(mot));
      mot := '';
    end;
  end;
  // tri : nombre décroissant puis ordre alphabétique
  for i := 0 to High(mots) - 1 do
    for j := 0 to High(mots) - 1 - i do
      if (mots[j].Nombre < mots[j + 1].Nombre) or
         ((mots[j].Nombre = mots[j + 1].Nombre) and (mots[j].Texte > mots[j + 1].Texte)) then
      begin
        tmp := mots[j];
        mots[j] := mots[j + 1];
        mots[j + 1] := tmp;
      end;
  showmessage(IntToStr(Length(mots)) + ' mots differents');
  for i := 0 to 4 do
  begin
    ligne := Format('%-8s %2d ', [mots[i].Texte, mots[i].Nombre]);
    for k := 1 to mots[i].Nombre do
      ligne := ligne + '#';
    showmessage(ligne);
  end;
  ligne := '';
  for i := 0 to High(mots) do
    if mots[i].Nombre = 1 then
      ligne := ligne + mots[i].Texte + ' ';
  showmessage('uniques : ' + Trim(ligne));
  showmessage(Remplacer(Copy(texte, 1, 40), 'chien', 'loup'));
  showmessage(UpperCase(Copy(texte, 1, 12)) + '...');
  i := Pos('souris', texte);
  showmessage('souris en ' + IntToStr(i) + ', suivante en ' + IntToStr(i + Pos('souris', Copy(texte, i + 1, Length(texte)))));
end.
