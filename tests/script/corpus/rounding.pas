program rounding;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Round (arrondi bancaire : la moitié va au pair) et Trunc (vers zéro).
var
  x: Double;
  s: string;
  i: Integer;
  big: Int64;
begin
  s := '';
  x := -3.5;
  for i := 0 to 14 do
  begin
    s := s + IntToStr(Round(x)) + ' ';
    x := x + 0.5;
  end;
  showmessage('round ' + s);
  s := '';
  x := -3.5;
  for i := 0 to 14 do
  begin
    s := s + IntToStr(Trunc(x)) + ' ';
    x := x + 0.5;
  end;
  showmessage('trunc ' + s);
  x := 2.4999;
  showmessage(IntToStr(Round(x)) + ' ' + IntToStr(Round(x + 0.0002)));
  x := -2.5001;
  showmessage(IntToStr(Round(x)) + ' ' + IntToStr(Trunc(x)));
  x := 0.49999999;
  showmessage(IntToStr(Round(x)) + ' ' + IntToStr(Trunc(-x)));
  x := 1e10 + 0.5;
  big := Round(x);
  showmessage(IntToStr(big) + ' ' + IntToStr(Trunc(x)));
  x := 12345678901.7;
  big := Trunc(x);
  showmessage(IntToStr(big));
  x := 99.99;
  showmessage(IntToStr(Round(x * 10)) + ' ' + IntToStr(Trunc(x * 10)));
  i := Round(7 / 2) + Trunc(7 / 2);
  showmessage(IntToStr(i));
  x := 1.005;
  showmessage(FloatToStr(Round(x * 100) / 100));
end.
