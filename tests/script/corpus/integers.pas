program integers;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Entiers 32 bits : bornes, débordement qui reboucle, types non signés.
var
  i, j: Integer;
  l: Longint;
  c: Cardinal;
  b: Byte;
  w: Word;
begin
  i := High(Integer);
  showmessage('max ' + IntToStr(i));
  i := i + 1;
  showmessage('max+1 ' + IntToStr(i));
  i := Low(Integer);
  showmessage('min ' + IntToStr(i));
  i := i - 1;
  showmessage('min-1 ' + IntToStr(i));
  l := 2147483647;
  Inc(l);
  showmessage('inc ' + IntToStr(l));
  Dec(l);
  showmessage('dec ' + IntToStr(l));
  i := 100000;
  j := 100000;
  i := i * j;
  showmessage('produit ' + IntToStr(i));
  i := 65536;
  i := i * i;
  showmessage('2^32 ' + IntToStr(i));
  i := 7;
  Inc(i, 10);
  Dec(i, 3);
  showmessage('inc/dec pas ' + IntToStr(i));
  c := 0;
  c := c - 1;
  showmessage('cardinal ' + IntToStr(c));
  c := 4000000000;
  showmessage('cardinal grand ' + IntToStr(c));
  b := 255;
  b := b + 1;
  showmessage('byte ' + IntToStr(b));
  b := 0;
  Dec(b);
  showmessage('byte dec ' + IntToStr(b));
  b := 200;
  b := b * 2;
  showmessage('byte mul ' + IntToStr(b));
  w := 65535;
  Inc(w);
  showmessage('word ' + IntToStr(w));
  w := 1000;
  w := w * 70;
  showmessage('word mul ' + IntToStr(w));
  showmessage('bornes byte ' + IntToStr(Low(Byte)) + '..' + IntToStr(High(Byte)));
  showmessage('bornes word ' + IntToStr(Low(Word)) + '..' + IntToStr(High(Word)));
  showmessage('bornes cardinal ' + IntToStr(High(Cardinal)));
  i := -5;
  showmessage('precedence ' + IntToStr(2 + 3 * 4) + ' ' + IntToStr((2 + 3) * 4) + ' ' + IntToStr(-i * 2 - 1));
  showmessage('unaire ' + IntToStr(-(-7)) + ' ' + IntToStr(10 - -3));
  i := $FF;
  showmessage('hexa ' + IntToStr(i) + ' ' + IntToStr($7FFFFFFF));
end.
