program typecasts;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Transtypages entre ordinaux, caractères et chaînes.
type
  TCouleur = (Rouge, Vert, Bleu);

var
  i: Integer;
  n: Int64;
  c: Char;
  b: Byte;
  w: Word;
  coul: TCouleur;
  s: string;
  somme: Int64;

begin
  i := 2000000000;
  n := Int64(i) * 3;
  showmessage(IntToStr(n));
  c := 'A';
  showmessage(IntToStr(Integer(c)) + ' ' + IntToStr(Ord(c)) + ' ' + Char(66) + Char(Integer(c) + 2));
  b := Byte(300);
  w := Word(-1);
  showmessage(IntToStr(b) + ' ' + IntToStr(w) + ' ' + IntToStr(Byte(i)) + ' ' + IntToStr(ShortInt(200)));
  coul := TCouleur(2);
  if coul = Bleu then
    showmessage('bleu ' + IntToStr(Ord(coul)));
  for i := 0 to 2 do
    showmessage(IntToStr(Ord(TCouleur(i))));
  if Boolean(1) and not Boolean(0) then
    showmessage('booléens');
  s := string(c) + string('bc');
  showmessage(s + ' ' + IntToStr(Length(s)));
  somme := 0;
  for i := 1 to 5 do
    somme := somme + Int64(i) * 1000000000;
  showmessage(IntToStr(somme));
  showmessage(IntToStr(Cardinal(-1)) + ' ' + IntToStr(Integer(Cardinal(4294967295))));
  showmessage(Char(Ord('a') + 25) + UpperCase(string(Char(101))));
end.
