program results;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Résultat d'une fonction : Result et nom de la fonction désignent la même valeur.
type
  TPoint = record
    X, Y: Integer;
  end;

function ParNom: Integer;
begin
  ParNom := 5;
end;

function ParResult: Integer;
begin
  Result := 6;
end;

function Melange: Integer;
begin
  Melange := 10;
  Result := Result + 1;
end;

function Melange2: string;
begin
  Result := 'a';
  Melange2 := Result + 'b';
  Result := Result + 'c';
end;

function DernierGagne(n: Integer): Integer;
begin
  Result := n;
  DernierGagne := n * 2;
  Result := Result + 1;
end;

function Accumule(n: Integer): Integer;
var
  i: Integer;
begin
  Result := 0;
  for i := 1 to n do
    Result := Result + i;
end;

function Tableau(n: Integer): string;
var
  i: Integer;
begin
  Tableau := '';
  for i := 1 to n do
    Result := Result + Chr(Ord('a') + i - 1);
end;

function Point(x, y: Integer): TPoint;
begin
  Point.X := x;
  Result.Y := y;
end;

function Reel: Double;
begin
  Reel := 1.25;
  Result := Result * 2;
end;

function Booleen(n: Integer): Boolean;
begin
  Booleen := n > 0;
  if n > 100 then Result := False;
end;

function B2S(v: Boolean): string;
begin
  if v then B2S := 'TRUE' else B2S := 'FALSE';
end;

var
  p: TPoint;
begin
  showmessage(IntToStr(ParNom) + ' ' + IntToStr(ParResult) + ' ' + IntToStr(Melange));
  showmessage(Melange2);
  showmessage(IntToStr(DernierGagne(10)));
  showmessage(IntToStr(Accumule(100)));
  showmessage(Tableau(5));
  p := Point(3, 4);
  showmessage(IntToStr(p.X) + ',' + IntToStr(p.Y));
  showmessage(FloatToStr(Reel));
  showmessage(B2S(Booleen(5)) + ' ' + B2S(Booleen(-5)) + ' ' + B2S(Booleen(500)));
  showmessage(IntToStr(ParNom + ParResult * 2));
end.
