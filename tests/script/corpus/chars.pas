program chars;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Caractères : Ord, Chr, littéraux #nn, comparaison, conversion en chaîne.
var
  c: Char;
  s: string;
  i: Integer;
begin
  c := 'A';
  showmessage(c + ' ' + IntToStr(Ord(c)));
  c := Chr(Ord(c) + 2);
  showmessage(c);
  showmessage(Chr(104) + Chr(105) + #33);
  showmessage(IntToStr(Ord('0')) + ' ' + IntToStr(Ord(' ')) + ' ' + IntToStr(Ord(#10)));
  showmessage(IntToStr(Ord('é')) + ' ' + IntToStr(Ord('€')));
  s := '';
  for c := 'a' to 'e' do
    s := s + c;
  showmessage(s);
  s := '';
  for c := 'E' downto 'A' do
    s := s + c;
  showmessage(s);
  s := 'Vidorra 2';
  for i := 1 to Length(s) do
    if (s[i] >= '0') and (s[i] <= '9') then
      showmessage('chiffre ' + s[i] + ' valeur ' + IntToStr(Ord(s[i]) - Ord('0')));
  c := s[1];
  if c = 'V' then showmessage('premier V');
  if c < 'a' then showmessage('majuscule avant minuscule');
  c := 'q';
  c := Chr(Ord(c) - Ord('a') + Ord('A'));
  showmessage('en majuscule ' + c);
  s := 'z';
  s := s + c + 'z';
  showmessage(s + ' ' + IntToStr(Length(s)));
  Inc(c);
  showmessage('inc ' + c);
  Dec(c, 2);
  showmessage('dec ' + c);
  s := 'a'#9'b';
  showmessage(IntToStr(Length(s)) + ' ' + IntToStr(Ord(s[2])));
  showmessage(#$41#$42 + 'C');
  i := 0;
  for c := #0 to #127 do
    if (c >= 'a') and (c <= 'z') then Inc(i);
  showmessage('lettres ' + IntToStr(i));
end.
