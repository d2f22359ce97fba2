program openarrays;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Paramètres tableaux ouverts : listes littérales, tableaux statiques et dynamiques.
type
  TDurees = array[1..5] of Integer;

var
  durees: TDurees;
  dyn: array of Integer;
  noms: array of string;
  fixes: array[0..2] of string;
  i: Integer;

function Somme(const a: array of Integer): Integer;
var
  i: Integer;
begin
  Result := 0;
  for i := Low(a) to High(a) do
    Result := Result + a[i];
end;

function Maximum(const a: array of Integer): Integer;
var
  i: Integer;
begin
  if Length(a) = 0 then
  begin
    Result := -1;
    Exit;
  end;
  Result := a[0];
  for i := 1 to High(a) do
    if a[i] > Result then
      Result := a[i];
end;

function Joindre(const parties: array of string; const sep: string): string;
var
  i: Integer;
begin
  Result := '';
  for i := 0 to High(parties) do
  begin
    if i > 0 then
      Result := Result + sep;
    Result := Result + parties[i];
  end;
end;

function Moyenne(a: array of Double): Double;
var
  i: Integer;
begin
  Result := 0;
  for i := 0 to High(a) do
    Result := Result + a[i];
  if Length(a) > 0 then
    Result := Result / Length(a);
end;

procedure Doubler(var a: array of Integer);
var
  i: Integer;
begin
  for i := 0 to High(a) do
    a[i] := a[i] * 2;
end;

begin
  showmessage(IntToStr(Somme([3, 6, 9])) + ' ' + IntToStr(Somme([])) + ' ' +
    IntToStr(Maximum([4, 17, 2, 9])) + ' ' + IntToStr(Maximum([])));
  for i := 1 to 5 do
    durees[i] := i * i;
  showmessage(IntToStr(Somme(durees)) + ' ' + IntToStr(Maximum(durees)));
  Doubler(durees);
  showmessage(IntToStr(durees[1]) + ' ' + IntToStr(durees[5]) + ' ' + IntToStr(Somme(durees)));
  SetLength(dyn, 4);
  for i := 0 to 3 do
    dyn[i] := 10 - i;
  showmessage(IntToStr(Somme(dyn)) + ' ' + IntToStr(Maximum(dyn)));
  Doubler(dyn);
  showmessage(IntToStr(dyn[0]) + ' ' + IntToStr(Somme(dyn)));
  showmessage(Joindre(['scène', 'plan', 'prise'], ' / '));
  fixes[0] := 'a';
  fixes[1] := 'b';
  fixes[2] := 'c';
  showmessage(Joindre(fixes, ','));
  SetLength(noms, 2);
  noms[0] := 'cassette';
  noms[1] := 'Hi8';
  showmessage(Joindre(noms, '-') + ' ' + Joindre([], '-') + '|');
  showmessage(FloatToStr(Moyenne([1.5, 2.5, 3])) + ' ' + FloatToStr(Moyenne([])));
  showmessage(IntToStr(Somme([Length('abc'), durees[2], dyn[1] div 2])));
end.
