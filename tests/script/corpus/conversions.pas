program conversions;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// StrToInt et StrToIntDef : signes, hexadécimal, espaces en tête, refus.
function Essai(const s: string): string;
begin
  try
    Result := IntToStr(StrToInt(s));
  except
    on E: Exception do
      Result := 'refus';
  end;
end;

var
  n: Integer;
begin
  showmessage(Essai('42') + ' ' + Essai('-17') + ' ' + Essai('+8') + ' ' + Essai('0') + ' ' + Essai('007'));
  showmessage(Essai('2147483647') + ' ' + Essai('-2147483648'));
  showmessage(Essai('$FF') + ' ' + Essai('$7fffffff'));
  showmessage(Essai('  12'));
  showmessage(Essai('') + ' ' + Essai('abc') + ' ' + Essai('12a') + ' ' + Essai('1.5') + ' ' + Essai('12 ') + ' ' + Essai('- 3'));
  showmessage(IntToStr(StrToIntDef('123', -1)) + ' ' + IntToStr(StrToIntDef('x', -1)) + ' ' + IntToStr(StrToIntDef('', 0)) + ' ' + IntToStr(StrToIntDef('-5', 99)));
  showmessage(IntToStr(StrToIntDef('1e3', 8)) + ' ' + IntToStr(StrToIntDef(' ', 9)));
  n := StrToInt('10') + StrToInt('20') * 2;
  showmessage(IntToStr(n));
  showmessage(IntToStr(StrToInt(IntToStr(-987654))));
  n := StrToIntDef(Copy('image0042.png', 6, 4), 0);
  showmessage('numero ' + IntToStr(n) + ' suivant ' + Format('image%.4d.png', [n + 1]));
end.
