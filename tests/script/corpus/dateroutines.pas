program dateroutines;
{$IFNDEF VIDORRA}
uses SysUtils, DateUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Dates : EncodeDate, DecodeDate, EncodeTime, DecodeTime, DayOfWeek, IncDay, FormatDateTime.
var
  d, t: TDateTime;
  y, m, dd, h, n, s, ms: Word;
  k: Integer;

procedure tryDate(y, m, d: Integer);
begin
  try
    showmessage(FloatToStr(EncodeDate(y, m, d)));
  except
    on E: EConvertError do showmessage(E.ClassName + ' : ' + IntToStr(y) + '-' + IntToStr(m) + '-' + IntToStr(d));
  end;
end;

procedure tryTime(h, n, s, ms: Integer);
begin
  try
    showmessage(FloatToStr(EncodeTime(h, n, s, ms)));
  except
    on E: EConvertError do showmessage(E.ClassName + ' : ' + IntToStr(h) + ':' + IntToStr(n) + ':' + IntToStr(s) + '.' + IntToStr(ms));
  end;
end;

begin
  d := EncodeDate(2024, 2, 29);
  t := EncodeTime(18, 30, 15, 250);
  showmessage(FloatToStr(d) + ' ' + FormatDateTime('yyyy-mm-dd hh:nn:ss.zzz', d + t));
  DecodeDate(d + t, y, m, dd);
  DecodeTime(d + t, h, n, s, ms);
  showmessage(IntToStr(y) + '/' + IntToStr(m) + '/' + IntToStr(dd) + ' ' + IntToStr(h) + ':' + IntToStr(n) + ':' + IntToStr(s) + '.' + IntToStr(ms));
  DecodeDate(0, y, m, dd);
  showmessage(IntToStr(y) + '/' + IntToStr(m) + '/' + IntToStr(dd));
  DecodeDate(-1.5, y, m, dd);
  DecodeTime(-1.5, h, n, s, ms);
  showmessage(IntToStr(y) + '/' + IntToStr(m) + '/' + IntToStr(dd) + ' ' + IntToStr(h) + ':' + IntToStr(n));
  DecodeTime(0.99999999, h, n, s, ms);
  showmessage(IntToStr(h) + ':' + IntToStr(n) + ':' + IntToStr(s) + '.' + IntToStr(ms));

  tryDate(2023, 2, 29);
  tryDate(2000, 2, 29);
  tryDate(1900, 2, 29);
  tryDate(2024, 13, 1);
  tryDate(2024, 4, 31);
  tryDate(1, 1, 1);
  tryDate(9999, 12, 31);
  tryDate(0, 1, 1);
  tryTime(24, 0, 0, 0);
  tryTime(23, 59, 59, 999);
  tryTime(12, 60, 0, 0);
  tryTime(0, 0, 0, 1000);
  tryTime(6, 0, 0, 0);

  for k := 0 to 7 do
    showmessage(FormatDateTime('yyyy-mm-dd', d + k) + ' ' + IntToStr(DayOfWeek(d + k)));
  showmessage(IntToStr(DayOfWeek(0)) + ' ' + IntToStr(DayOfWeek(1)) + ' ' + IntToStr(DayOfWeek(-1)) + ' ' + IntToStr(DayOfWeek(-7.5)));

  showmessage(FloatToStr(IncDay(d + 0.5, 3)) + ' ' + FloatToStr(IncDay(d + 0.5)) + ' ' + FloatToStr(IncDay(d, -45351)) + ' ' + FloatToStr(IncDay(-1.25, 1)) + ' ' + FloatToStr(IncDay(0.25, -1)) + ' ' + FloatToStr(IncDay(-2.5, 5)));
  showmessage(FormatDateTime('dd-mm-yyyy', IncDay(EncodeDate(2023, 12, 31), 1)) + ' ' + FormatDateTime('dd-mm-yyyy', IncDay(EncodeDate(2024, 3, 1), -1)));

  d := EncodeDate(2007, 3, 4) + EncodeTime(9, 5, 7, 8);
  showmessage(FormatDateTime('d.m.yy h:n:s.z', d));
  showmessage(FormatDateTime('dd-mm-yyyy hh:nn:ss.zzz', d));
  showmessage(FormatDateTime('hh:mm', d) + ' ' + FormatDateTime('yyyymmdd"T"hhnnss', d) + ' ' + FormatDateTime('''le'' d ''a'' h "mm" ''""''', d));
  showmessage(FormatDateTime('h:nn am/pm', d) + ' ' + FormatDateTime('h:nn AM/PM', d + 0.5) + ' ' + FormatDateTime('hh a/p', d) + ' ' + FormatDateTime('hh A/P', d + 0.5));
  showmessage(FormatDateTime('h ampm', d + 0.5) + ' ' + FormatDateTime('hh AMPM', d));
end.
