program mathfuncs;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Sqr, Sqrt, Abs, Odd sur entiers et réels.
var
  i, n: Integer;
  x: Double;
  q: Int64;
  s: string;

function B2S(v: Boolean): string;
begin
  if v then Result := 'TRUE' else Result := 'FALSE';
end;

begin
  i := -7;
  showmessage(IntToStr(Sqr(i)) + ' ' + IntToStr(Abs(i)) + ' ' + IntToStr(Abs(-i)) + ' ' + IntToStr(Abs(0)));
  x := -1.5;
  showmessage(FloatToStr(Sqr(x)) + ' ' + FloatToStr(Abs(x)));
  showmessage(FloatToStr(Sqrt(16)) + ' ' + FloatToStr(Sqrt(2)) + ' ' + FloatToStr(Sqrt(0.25)));
  i := 144;
  showmessage(FloatToStr(Sqrt(i)) + ' ' + IntToStr(Trunc(Sqrt(i))));
  q := -5000000000;
  showmessage(IntToStr(Abs(q)));
  q := 3000000000;
  showmessage(IntToStr(Sqr(q)));
  s := '';
  for i := -3 to 4 do
    s := s + B2S(Odd(i)) + ' ';
  showmessage('odd ' + s);
  q := 12345678901;
  showmessage(B2S(Odd(q)));
  // hypoténuse
  x := Sqrt(Sqr(3.0) + Sqr(4.0));
  showmessage('hypotenuse ' + FloatToStr(x));
  // nombres carrés parfaits
  s := '';
  n := 0;
  for i := 1 to 50 do
    if Sqr(Trunc(Sqrt(i))) = i then
    begin
      s := s + IntToStr(i) + ' ';
      Inc(n);
    end;
  showmessage('carres ' + s + '(' + IntToStr(n) + ')');
  // écart type
  x := 0;
  for i := 1 to 5 do
    x := x + Sqr(i - 3.0);
  showmessage('ecart type ' + FloatToStr(Sqrt(x / 5)));
  showmessage(IntToStr(Abs(Low(Integer) + 1)));
end.
