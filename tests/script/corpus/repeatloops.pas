program repeatloops;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// repeat ... until : au moins un tour, condition en fin, plusieurs instructions.
var
  i, n, somme: Integer;
  s: string;
  x: Double;
begin
  i := 100;
  n := 0;
  repeat
    Inc(n);
  until i > 0;
  showmessage('au moins un tour ' + IntToStr(n));
  i := 1;
  s := '';
  repeat
    s := s + IntToStr(i) + ' ';
    i := i * 2
  until i > 100;
  showmessage(s);
  // chiffres d'un nombre
  n := 907214;
  somme := 0;
  s := '';
  repeat
    somme := somme + n mod 10;
    s := IntToStr(n mod 10) + s;
    n := n div 10;
  until n = 0;
  showmessage(s + ' somme ' + IntToStr(somme));
  // racine par Newton
  x := 10;
  n := 0;
  repeat
    x := (x + 2 / x) / 2;
    Inc(n);
  until Abs(x * x - 2) < 1e-12;
  showmessage('newton ' + FloatToStr(x) + ' en ' + IntToStr(n));
  // repeat imbriqués
  i := 0;
  n := 0;
  repeat
    Inc(i);
    somme := 0;
    repeat
      Inc(somme);
      Inc(n);
    until somme >= i;
  until i = 4;
  showmessage('imbrique ' + IntToStr(n));
  // pgcd
  i := 1071;
  n := 462;
  repeat
    somme := i mod n;
    i := n;
    n := somme;
  until n = 0;
  showmessage('pgcd ' + IntToStr(i));
end.
