program textroutines;
{$IFNDEF VIDORRA}
uses cwstring, SysUtils, StrUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// System, SysUtils et StrUtils : UpCase, Concat, Str, Val, casse Unicode, chemins, DupeString.
var
  folder, name, line, s: string;
  c: Char;
  take, code, n: Integer;
  w: Word;
  size: Int64;
  fps, d: Double;

procedure readInt(const text: string);
var
  v, code: Integer;
begin
  v := 77;
  Val(text, v, code);
  showmessage('"' + text + '" -> ' + IntToStr(v) + ' (' + IntToStr(code) + ')');
end;

procedure readInt64(const text: string);
var
  v: Int64;
  code: Integer;
begin
  v := 77;
  Val(text, v, code);
  showmessage('"' + text + '" -> ' + IntToStr(v) + ' (' + IntToStr(code) + ')');
end;

procedure readReal(const text: string);
var
  v: Double;
  code: Integer;
begin
  v := 77;
  Val(text, v, code);
  showmessage('"' + text + '" -> ' + FloatToStr(v) + ' (' + IntToStr(code) + ')');
end;

begin
  // Nom des fichiers de capture : dossier, prise numérotée, extension.
  folder := '/home/marie/Vidéos';
  take := 7;
  Str(take:3, s);
  name := Concat(IncludeTrailingPathDelimiter(folder), 'prise', s, '.avi');
  showmessage(name);
  showmessage(IncludeTrailingPathDelimiter(folder + '/') + ' ' + IncludeTrailingPathDelimiter('') + ' ' + IncludeTrailingPathDelimiter('C:\Captures\'));
  showmessage(ExcludeTrailingPathDelimiter(folder + '/') + '|' + ExcludeTrailingPathDelimiter('/') + '|' + ExcludeTrailingPathDelimiter('a//') + '|' + ExcludeTrailingPathDelimiter('C:\x\') + '|' + ExcludeTrailingPathDelimiter(''));
  c := 'x';
  showmessage(Concat('a', 'bc', 'd') + Concat('seul') + Concat(c, '-', c) + Concat(name, ''));

  // Str : entiers et réels, largeur et décimales.
  Str(take, s);
  showmessage('[' + s + ']');
  size := -1234567890123;
  Str(size:18, s);
  showmessage('[' + s + ']');
  fps := 29.97;
  Str(fps, s);
  showmessage('[' + s + ']');
  Str(fps:8:2, s);
  showmessage('[' + s + ']');
  Str(fps:0:1, s);
  showmessage('[' + s + ']');
  Str(fps:12, s);
  showmessage('[' + s + ']');
  d := -2.675;
  Str(d:0:2, s);
  showmessage('[' + s + ']');
  Str(take:-3, s);
  showmessage('[' + s + ']');

  // Val : le code donne la position du premier caractère refusé.
  readInt('25');
  readInt(' 12');
  readInt('12 ');
  readInt('12a');
  readInt('');
  readInt('-');
  readInt('  ');
  readInt('+5');
  readInt('$1F');
  readInt('x1f');
  readInt('0x1F');
  readInt('%101');
  readInt('&17');
  readInt('$');
  readInt('1.5');
  readInt('3000000000');
  readInt('2147483648');
  readInt('-2147483648');
  readInt('$FFFFFFFF');
  readInt('99999999999999999999');
  readInt(#9'7');
  readInt('0007');
  readInt64('9223372036854775807');
  readInt64('9223372036854775808');
  readInt64('-9223372036854775808');
  readInt64('$FFFFFFFFFFFFFFFF');
  readInt64('5000000000');
  readReal('29.97');
  readReal(' 2.5e3');
  readReal('2.5x');
  readReal('2.5 ');
  readReal('');
  readReal(' ');
  readReal('-');
  readReal('1e');
  readReal('1e+');
  readReal('1e-5x');
  readReal('.');
  readReal('.5');
  readReal('1.');
  readReal('e5');
  readReal('1,5');
  readReal('1.2.3');
  readReal('-inf');
  readReal('NaN');
  readReal('NaN ');
  readReal('infinity');
  readReal(#9'3');
  readReal('  -  3');
  readReal('0x10');
  readReal('$10');
  readReal('1E-2');
  readReal('0005');
  readReal('1e-400');
  w := 9;
  Val('8x', n, w);
  showmessage(IntToStr(n) + ' ' + IntToStr(w));
  readInt(DupeString('1', 256));
  readReal(DupeString('1', 300));

  // Casse : UpCase et AnsiUpperCase suivent Unicode, UpperCase reste ASCII.
  c := UpCase('é');
  showmessage(c + UpCase('a') + UpCase('5') + UpCase('ß') + ' ' + UpCase('prise été'));
  showmessage(AnsiUpperCase('Été à Noël, straße ǆ') + ' ' + AnsiLowerCase('ÉTÉ ÀÇ Σ Ǆ') + ' ' + UpperCase('été') + ' ' + LowerCase('ÉTÉ'));

  // StrUtils.
  line := DupeString('=-', 10);
  showmessage(line + '|' + DupeString('ab', 0) + '|' + DupeString('ab', -2) + '|' + DupeString('', 5) + '|');
  showmessage(ReverseString('capture') + '|' + ReverseString('') + '|' + LeftStr('prise007.avi', 8) + '|' + RightStr('prise007.avi', 3) + '|' + LeftStr('ab', 5) + '|' + RightStr('ab', 5) + '|' + LeftStr('ab', -1) + '|' + RightStr('ab', -1) + '|' + LeftStr('été', 2) + '|' + RightStr('été', 2));
  showmessage(BoolToStr(StartsText('PRISE', name), True) + ' ' + BoolToStr(EndsText('.AVI', name), True) + ' ' + BoolToStr(StartsText('', 'abc'), True) + ' ' + BoolToStr(EndsText('', ''), True) + ' ' + BoolToStr(StartsText('abcd', 'abc'), True) + ' ' + BoolToStr(StartsText('É', 'été'), True));
  showmessage(BoolToStr(StartsStr('/home', name), True) + ' ' + BoolToStr(StartsStr('/HOME', name), True) + ' ' + BoolToStr(EndsStr('.avi', name), True) + ' ' + BoolToStr(EndsStr('a', ''), True) + ' ' + BoolToStr(AnsiStartsText('/HOME', name), True) + ' ' + BoolToStr(AnsiEndsText('ÉTÉ', 'l''été'), True) + ' ' + BoolToStr(AnsiStartsStr('', 'x'), True) + ' ' + BoolToStr(AnsiEndsStr('avi', name), True));
  showmessage(IntToStr(PosEx('i', name, 10)) + ' ' + IntToStr(PosEx('i', name)) + ' ' + IntToStr(PosEx('i', name, 0)) + ' ' + IntToStr(PosEx('i', name, 100)));
end.
