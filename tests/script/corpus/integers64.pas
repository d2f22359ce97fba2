program integers64;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Entiers 64 bits.
var
  a, b: Int64;
  i: Integer;
begin
  a := 10000000000;
  showmessage(IntToStr(a));
  a := a * 1000;
  showmessage(IntToStr(a));
  showmessage(IntToStr(High(Int64)));
  showmessage(IntToStr(Low(Int64)));
  a := High(Int64);
  a := a + 1;
  showmessage('reboucle ' + IntToStr(a));
  i := 2000000000;
  a := i;
  a := a * 3;
  showmessage('int*int64 ' + IntToStr(a));
  b := 1;
  for i := 1 to 62 do
    b := b * 2;
  showmessage('2^62 ' + IntToStr(b));
  showmessage('div ' + IntToStr(b div 1000000007) + ' mod ' + IntToStr(b mod 1000000007));
  a := -9000000000;
  showmessage('neg div ' + IntToStr(a div 7) + ' mod ' + IntToStr(a mod 7));
  showmessage('abs ' + IntToStr(Abs(a)));
  a := 1;
  a := a shl 40;
  showmessage('shl 40 ' + IntToStr(a));
  showmessage('shr 20 ' + IntToStr(a shr 20));
  i := 123456;
  a := i;
  a := a * a;
  showmessage('carre ' + IntToStr(a));
  if a > High(Integer) then showmessage('plus grand que High(Integer)');
  a := 5000000000;
  i := a;
  showmessage('troncature ' + IntToStr(i));
  showmessage(Format('format %d', [a]));
end.
