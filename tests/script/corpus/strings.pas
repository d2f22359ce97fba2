program strings;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Chaînes : indices à partir de 1, Copy, Pos, Delete, Insert, Trim, casse.
var
  s, t: string;
  a: AnsiString;
  w: WideString;
  u: UnicodeString;
  i, n: Integer;
begin
  s := 'Bonjour';
  showmessage(s[1] + s[Length(s)] + ' ' + IntToStr(Length(s)));
  s[1] := 'b';
  showmessage(s);
  t := s;
  t[2] := 'X';
  showmessage(s + ' ' + t);
  showmessage('[' + Copy(s, 4, 4) + ']');
  showmessage('[' + Copy(s, 4, 100) + ']');
  showmessage('[' + Copy(s, 0, 3) + ']');
  showmessage('[' + Copy(s, 10, 2) + ']');
  showmessage('[' + Copy(s, 3, 0) + ']');
  showmessage(IntToStr(Pos('jour', s)) + ' ' + IntToStr(Pos('nuit', s)) + ' ' + IntToStr(Pos('o', s)) + ' ' + IntToStr(Pos('', s)));
  s := 'capture video';
  Delete(s, 8, 6);
  showmessage('[' + s + ']');
  s := 'abcdef';
  Delete(s, 1, 2);
  showmessage('[' + s + ']');
  Delete(s, 3, 100);
  showmessage('[' + s + ']');
  Delete(s, 10, 1);
  showmessage('[' + s + ']');
  s := 'abef';
  Insert('cd', s, 3);
  showmessage('[' + s + ']');
  Insert('>', s, 1);
  showmessage('[' + s + ']');
  Insert('<', s, 100);
  showmessage('[' + s + ']');
  s := '   espaces   ';
  showmessage('[' + Trim(s) + ']');
  s := #9'tab et fin'#13#10;
  showmessage('[' + Trim(s) + ']');
  showmessage('[' + Trim('') + ']');
  showmessage(UpperCase('Vidéo 4k') + ' ' + LowerCase('FICHIER.AVI'));
  s := '';
  for i := 1 to 5 do
    s := s + IntToStr(i);
  showmessage(s + ' ' + IntToStr(Length(s)));
  s := 'abcdef';
  SetLength(s, 3);
  showmessage(s + ' ' + IntToStr(Length(s)));
  showmessage('l''apostrophe ' + IntToStr(Length('''')));
  a := 'ansi';
  w := 'wide';
  u := 'unicode';
  s := a + '/' + w + '/' + u;
  showmessage(s);
  s := 'Noël à l''été';
  showmessage(s + ' ' + IntToStr(Length(s)) + ' ' + s[3]);
  t := '';
  for i := Length(s) downto 1 do
    t := t + s[i];
  showmessage(t);
  n := 0;
  s := 'une phrase avec des mots';
  for i := 1 to Length(s) do
    if s[i] = ' ' then
      Inc(n);
  showmessage('espaces ' + IntToStr(n));
  if 'abc' < 'abd' then showmessage('abc < abd');
  if 'abc' < 'abcd' then showmessage('abc < abcd');
  if 'B' < 'a' then showmessage('B < a');
  if 'abc' = 'ABC' then showmessage('egal') else showmessage('abc <> ABC');
  s := 'x';
  s := s + s;
  s := s + s + s;
  showmessage(s);
end.
