program floats;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Nombres à virgule et FloatToStr (15 chiffres significatifs, point décimal).
var
  x, y: Double;
  r: Real;
  e: Extended;
  s: Single;
  i: Integer;
begin
  x := 1.5;
  showmessage(FloatToStr(x));
  x := 0.1;
  y := 0.2;
  showmessage(FloatToStr(x + y));
  x := 1;
  y := 3;
  showmessage(FloatToStr(x / y));
  showmessage(FloatToStr(2 * x / y));
  x := 100;
  showmessage(FloatToStr(x));
  x := -2.25;
  showmessage(FloatToStr(x));
  x := 0;
  showmessage(FloatToStr(x));
  x := 123456789.125;
  showmessage(FloatToStr(x));
  x := 1e15;
  showmessage(FloatToStr(x));
  x := 1e20;
  showmessage(FloatToStr(x));
  x := 1.5e-3;
  showmessage(FloatToStr(x));
  x := 0.0001;
  showmessage(FloatToStr(x));
  x := 0.00001;
  showmessage(FloatToStr(x));
  x := 2.5e-10;
  showmessage(FloatToStr(x));
  x := -6.02e23;
  showmessage(FloatToStr(x));
  x := 1234567890123456789;
  showmessage(FloatToStr(x));
  i := 7;
  x := i / 2;
  showmessage('int/int ' + FloatToStr(x));
  x := i;
  x := x * 0.5 + 1;
  showmessage('melange ' + FloatToStr(x));
  r := 3.75;
  showmessage('real ' + FloatToStr(r));
  e := 0.5;
  e := e * 5;
  showmessage('extended ' + FloatToStr(e));
  s := 0.25;
  s := s + 2;
  showmessage('single ' + FloatToStr(s));
  x := 10;
  y := 4;
  showmessage('division ' + FloatToStr(x / y));
  if x / y = 2.5 then showmessage('egal 2.5');
  x := 0.1;
  y := 0.2;
  if x + y <> 0.3 then showmessage('0.1+0.2 different de 0.3');
  x := 10;
  y := 4;
  if x > y then showmessage('comparaison');
  x := Sqrt(2);
  showmessage(FloatToStr(x * x));
  x := 1;
  for i := 1 to 10 do
    x := x / 10;
  showmessage(FloatToStr(x));
end.
