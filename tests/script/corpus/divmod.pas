program divmod;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// div et mod : division tronquée vers zéro, le reste a le signe du dividende.
var
  a, b: Integer;
  s: string;
  big: Int64;
  x: Double;

procedure Montre(a, b: Integer);
begin
  showmessage(IntToStr(a) + ' div ' + IntToStr(b) + ' = ' + IntToStr(a div b) + ', ' + IntToStr(a) + ' mod ' + IntToStr(b) + ' = ' + IntToStr(a mod b));
end;

begin
  Montre(7, 2);
  Montre(-7, 2);
  Montre(7, -2);
  Montre(-7, -2);
  Montre(6, 3);
  Montre(-6, 3);
  Montre(0, 5);
  Montre(1, 5);
  Montre(-1, 5);
  Montre(2147483647, 10);
  Montre(-2147483647, 10);
  Montre(123456, 1);
  a := -17;
  b := 5;
  // identité : a = (a div b) * b + a mod b
  if (a div b) * b + a mod b = a then showmessage('identite verifiee');
  // reste positif à la main
  s := '';
  for a := -4 to 4 do
    s := s + IntToStr(((a mod 3) + 3) mod 3) + ' ';
  showmessage(s);
  big := -100000000000;
  showmessage(IntToStr(big div 7) + ' ' + IntToStr(big mod 7));
  // précédence : div et mod au niveau de *
  showmessage(IntToStr(20 div 3 * 3) + ' ' + IntToStr(20 - 20 div 3 mod 4) + ' ' + IntToStr(-7 div 2));
  // / donne toujours un réel
  a := 7;
  b := 2;
  x := a / b;
  showmessage(FloatToStr(x) + ' ' + FloatToStr(-a / b));
end.
