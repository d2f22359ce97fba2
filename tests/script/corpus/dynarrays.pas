program dynarrays;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Tableaux dynamiques : SetLength, Length, High, Low, tableaux de tableaux.
type
  TEntiers = array of Integer;

var
  a, b: TEntiers;
  m: array of array of Integer;
  noms: array of string;
  x: array of Double;
  i, j: Integer;
  s: string;

function Remplir(n: Integer): TEntiers;
var
  i: Integer;
begin
  SetLength(Result, n);
  for i := 0 to n - 1 do
    Result[i] := (i + 1) * 10;
end;

function Joindre(const t: TEntiers): string;
var
  i: Integer;
begin
  Result := '';
  for i := Low(t) to High(t) do
  begin
    if i > 0 then Result := Result + ',';
    Result := Result + IntToStr(t[i]);
  end;
  Result := '(' + Result + ')';
end;

procedure Ajouter(var t: TEntiers; v: Integer);
begin
  SetLength(t, Length(t) + 1);
  t[High(t)] := v;
end;

begin
  showmessage('vide ' + IntToStr(Length(a)) + ' ' + IntToStr(High(a)) + ' ' + IntToStr(Low(a)) + ' ' + Joindre(a));
  SetLength(a, 4);
  showmessage('initialise ' + Joindre(a));
  for i := 0 to High(a) do
    a[i] := i * i;
  showmessage(Joindre(a));
  SetLength(a, 6);
  showmessage('agrandi ' + Joindre(a));
  SetLength(a, 2);
  showmessage('reduit ' + Joindre(a));
  Ajouter(a, 42);
  Ajouter(a, 43);
  showmessage('ajout ' + Joindre(a) + ' ' + IntToStr(Length(a)));
  b := Remplir(3);
  showmessage('resultat ' + Joindre(b));
  SetLength(m, 3);
  for i := 0 to 2 do
  begin
    SetLength(m[i], i + 1);
    for j := 0 to i do
      m[i][j] := i + j;
  end;
  s := '';
  for i := 0 to High(m) do
    s := s + IntToStr(Length(m[i])) + ':' + Joindre(m[i]) + ' ';
  showmessage(s);
  SetLength(noms, 2);
  showmessage('chaines vides [' + noms[0] + noms[1] + ']');
  noms[0] := 'alpha';
  noms[1] := 'beta';
  SetLength(noms, 3);
  noms[2] := noms[0] + noms[1];
  showmessage(noms[2]);
  SetLength(x, 3);
  x[0] := 0.5;
  x[2] := x[0] * 3;
  showmessage(FloatToStr(x[0] + x[1] + x[2]));
  SetLength(a, 0);
  showmessage('vide encore ' + IntToStr(Length(a)) + ' ' + IntToStr(High(a)));
  // Un tableau dynamique est une référence : l'affectation partage les éléments.
  a := Remplir(3);
  b := a;
  b[0] := -1;
  showmessage('partage ' + Joindre(a) + ' ' + Joindre(b));
end.
