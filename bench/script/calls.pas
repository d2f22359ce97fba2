program calls;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Petits appels répétés un million de fois : fonction de deux entiers, procédure à paramètre
// var, fonction qui prend et rend une chaîne, routine imbriquée qui modifie une variable de
// la routine englobante.
const
  Tours = 1000000;

function Melange(a, b: Integer): Integer;
begin
  Result := (a * 31 + b) mod 10007;
end;

procedure Avance(var x: Integer; pas: Integer);
begin
  x := x + pas;
  if x >= 1000 then
    x := x - 1000;
end;

function Marque(s: string; n: Integer): string;
begin
  if n mod 2 = 0 then
    Result := s
  else
    Result := 'x';
end;

function SommeImbriquee(n: Integer): Integer;
var
  total, i: Integer;

  procedure Ajoute(v: Integer);
  begin
    total := total + v mod 7;
  end;

begin
  total := 0;
  for i := 1 to n do
    Ajoute(i);
  Result := total;
end;

var
  i, h, x, longueur: Integer;
  mot: string;
begin
  h := 0;
  for i := 1 to Tours do
    h := Melange(h, i);
  x := 0;
  for i := 1 to Tours do
    Avance(x, i mod 13);
  mot := 'abc';
  longueur := 0;
  for i := 1 to Tours do
    longueur := longueur + Length(Marque(mot, i));
  showmessage('mix ' + IntToStr(h) + ', var ' + IntToStr(x) + ', string ' + IntToStr(longueur) +
    ', nested ' + IntToStr(SommeImbriquee(Tours)));
end.
