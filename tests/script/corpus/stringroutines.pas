program stringroutines;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Routines de chaînes de SysUtils : remplacement, comparaison, recherche, conversions.
var
  s: string;
  i: Integer;
  big: Int64;
  card: Cardinal;
  b: Boolean;
begin
  s := 'aAbAa';
  showmessage(StringReplace(s, 'a', 'x', [rfReplaceAll, rfIgnoreCase]));
  showmessage(StringReplace(s, 'a', 'x', []));
  showmessage(StringReplace(s, 'A', 'x', [rfIgnoreCase]));
  showmessage(StringReplace(s, 'A', '<>', [rfReplaceAll]));
  showmessage(StringReplace('abc', '', 'x', [rfReplaceAll]) + '|' + StringReplace('', 'a', 'x', [rfReplaceAll]) + '|');
  showmessage(StringReplace('aaaa', 'aa', 'a', [rfReplaceAll]));

  showmessage(QuotedStr('l''ete') + ' ' + QuotedStr('') + ' ' + QuotedStr(''''));

  i := -1;
  big := -1;
  card := 4000000000;
  showmessage(IntToHex(255, 4) + ' ' + IntToHex(i, 4) + ' ' + IntToHex(big, 2) + ' ' + IntToHex(255, 12) + ' ' + IntToHex(255, -3));
  big := $123456789AB;
  showmessage(IntToHex(card, 1) + ' ' + IntToHex(0, 0) + ' ' + IntToHex(big, 4));

  showmessage('[' + StringOfChar('*', 5) + '][' + StringOfChar('y', 0) + '][' + StringOfChar('z', -2) + ']');
  showmessage('[' + TrimLeft(#9'  a b  ') + '][' + TrimRight('  a b '#10) + '][' + TrimLeft('') + ']');

  showmessage(IntToStr(CompareStr('abc', 'abd')) + ' ' + IntToStr(CompareStr('b', 'a')) + ' ' + IntToStr(CompareStr('ab', 'abc')) + ' ' + IntToStr(CompareStr('abcd', 'ab')) + ' ' + IntToStr(CompareStr('a', 'z')) + ' ' + IntToStr(CompareStr('x', 'x')));
  showmessage(IntToStr(CompareStr('a', 'A')) + ' ' + IntToStr(CompareText('a', 'A')) + ' ' + IntToStr(CompareText('ABC', 'abd')) + ' ' + IntToStr(CompareText('', 'a')));
  b := SameText('AbC', 'aBc');
  showmessage(BoolToStr(b) + ' ' + BoolToStr(b, True) + ' ' + BoolToStr(not b, True) + ' ' + BoolToStr(b, False));

  showmessage(IntToStr(LastDelimiter('.\', 'c:\a.b\c.txt')) + ' ' + IntToStr(LastDelimiter('x', 'abc')) + ' ' + IntToStr(LastDelimiter('', 'abc')));

  s := 'banana';
  showmessage(IntToStr(Pos('a', s)) + ' ' + IntToStr(Pos('a', s, 3)) + ' ' + IntToStr(Pos('na', s, 4)) + ' ' + IntToStr(Pos('a', s, 0)) + ' ' + IntToStr(Pos('a', s, 7)) + ' ' + IntToStr(Pos('a', s, -5)) + ' ' + IntToStr(Pos('', s, 2)));
  i := 0;
  repeat
    i := Pos('an', s, i + 1);
    if i > 0 then showmessage('an @ ' + IntToStr(i));
  until i = 0;

  showmessage(IntToStr(StrToInt64('9223372036854775807')) + ' ' + IntToStr(StrToInt64('-9223372036854775808')) + ' ' + IntToStr(StrToInt64('$FFFFFFFFFFFFFFFF')) + ' ' + IntToStr(StrToInt64(' 0x10')));
  try
    big := StrToInt64('9223372036854775808');
  except
    on E: EConvertError do showmessage(E.ClassName + ': ' + E.Message);
  end;
  try
    big := StrToInt64('12a');
  except
    on E: EConvertError do showmessage(E.ClassName + ': ' + E.Message);
  end;
end.
