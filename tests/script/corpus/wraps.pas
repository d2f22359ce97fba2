program wraps;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Entiers de chaque largeur : le résultat d'une opération qui déborde est ramené à la largeur
// de la variable qui le reçoit, dans une boucle, en argument, après une division.
function Double(n: Integer): Integer;
begin
  Result := n + n;
end;

function Suivant(var x: Byte): Integer;
begin
  x := x + 100;
  Result := x;
end;

var
  i, k, d: Integer;
  b: Byte;
  s: ShortInt;
  w: Word;
  m: SmallInt;
  c: Cardinal;
  l: Int64;
begin
  k := 2147483600;
  b := 250;
  s := 100;
  w := 65530;
  m := 32000;
  c := 5;
  l := 0;
  for i := 1 to 10 do
  begin
    k := k + 10;
    b := b + 3;
    s := s * 3;
    w := w + 7;
    m := m + 700;
    c := c - 1;
    l := l + k;
  end;
  showmessage('boucle ' + IntToStr(k) + ' ' + IntToStr(b) + ' ' + IntToStr(s) + ' ' +
    IntToStr(w) + ' ' + IntToStr(m) + ' ' + IntToStr(c) + ' ' + IntToStr(l));
  d := Double(k - 7);
  showmessage('argument ' + IntToStr(d) + ' ' + IntToStr(Double(2000000000)));
  b := 200;
  showmessage('var ' + IntToStr(Suivant(b)) + ' ' + IntToStr(Suivant(b)) + ' ' + IntToStr(b));
  k := -2147483647;
  k := k - 5;
  m := -32000;
  m := m * 3 div 2;
  s := 127;
  s := s + 1;
  w := 3;
  w := w - 5;
  c := 4000000000;
  c := c + 500000000;
  showmessage('bornes ' + IntToStr(k) + ' ' + IntToStr(m) + ' ' + IntToStr(s) + ' ' +
    IntToStr(w) + ' ' + IntToStr(c));
end.
