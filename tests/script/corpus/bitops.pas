program bitops;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Opérations sur les bits : shl, shr, and, or, xor, not sur entiers.
var
  a, b, i: Integer;
  c: Cardinal;
  w: Word;
  q: Int64;
  s: string;

function Binaire(v: Integer; n: Integer): string;
var
  i: Integer;
begin
  Result := '';
  for i := n - 1 downto 0 do
    if (v shr i) and 1 = 1 then
      Result := Result + '1'
    else
      Result := Result + '0';
end;

begin
  a := 12;
  b := 10;
  showmessage(Binaire(a, 4) + ' ' + Binaire(b, 4));
  showmessage('and ' + IntToStr(a and b) + ' or ' + IntToStr(a or b) + ' xor ' + IntToStr(a xor b));
  showmessage('not ' + IntToStr(not a) + ' ' + IntToStr(not 0) + ' ' + IntToStr(not (-1)));
  showmessage('shl ' + IntToStr(1 shl 10) + ' ' + IntToStr(a shl 2) + ' shr ' + IntToStr(1024 shr 3) + ' ' + IntToStr(a shr 2));
  a := 1;
  a := a shl 31;
  showmessage('1 shl 31 = ' + IntToStr(a));
  a := -8;
  showmessage('-8 shr 1 = ' + IntToStr(a shr 1));
  a := -1;
  showmessage('-1 shr 28 = ' + IntToStr(a shr 28));
  a := $0F0F;
  b := $00FF;
  showmessage(IntToStr(a and b) + ' ' + IntToStr(a or b) + ' ' + IntToStr(a xor b));
  // échange par xor
  a := 1234;
  b := 5678;
  a := a xor b;
  b := a xor b;
  a := a xor b;
  showmessage('echange ' + IntToStr(a) + ' ' + IntToStr(b));
  // compter les bits
  a := 2024;
  i := 0;
  while a <> 0 do
  begin
    i := i + (a and 1);
    a := a shr 1;
  end;
  showmessage('bits de 2024 : ' + IntToStr(i));
  // masques
  a := $ABCD;
  showmessage(Format('%x %x %x', [(a shr 8) and $FF, a and $FF, (a and $FF) shl 8 or (a shr 8)]));
  c := $80000000;
  c := c shr 4;
  showmessage('cardinal ' + IntToStr(c));
  w := $FFFF;
  w := w shl 4;
  showmessage('word ' + IntToStr(w));
  q := 1;
  q := q shl 62;
  showmessage('int64 ' + IntToStr(q) + ' ' + IntToStr(q shr 60));
  // précédence : shl et and comme *, or et xor comme +
  showmessage(IntToStr(1 + 2 shl 3) + ' ' + IntToStr(6 or 1 and 2) + ' ' + IntToStr(5 xor 3 + 1));
  s := '';
  for i := 0 to 7 do
    s := s + IntToStr(1 shl i) + ' ';
  showmessage(s);
end.
