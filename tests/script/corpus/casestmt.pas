program casestmt;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// case : entiers, intervalles, listes, caractères, énumérations, booléens, else.
type
  TFormat = (fAvi, fMkv, fMp4, fDv);

function Classe(n: Integer): string;
begin
  case n of
    0: Result := 'zero';
    1, 2, 3: Result := 'petit';
    4..9: Result := 'moyen';
    10..99, 1000: Result := 'grand';
    -5..-1: Result := 'negatif';
  else
    Result := 'autre';
  end;
end;

function Genre(c: Char): string;
begin
  case c of
    'a', 'e', 'i', 'o', 'u', 'y': Genre := 'voyelle';
    'b'..'d', 'f'..'h', 'j'..'n', 'p'..'t', 'v'..'x', 'z': Genre := 'consonne';
    '0'..'9': Genre := 'chiffre';
  else
    Genre := 'autre';
  end;
end;

function Extension(f: TFormat): string;
begin
  case f of
    fAvi: Result := '.avi';
    fMkv: Result := '.mkv';
    fMp4: Result := '.mp4';
  else
    Result := '.dv';
  end;
end;

var
  i: Integer;
  s: string;
  f: TFormat;
begin
  s := '';
  for i := -6 to 11 do
    s := s + Classe(i) + ' ';
  showmessage(s);
  showmessage(Classe(1000) + ' ' + Classe(999));
  showmessage(Genre('a') + ' ' + Genre('k') + ' ' + Genre('7') + ' ' + Genre('?'));
  s := '';
  for f := fAvi to fDv do
    s := s + Extension(f);
  showmessage(s);
  // Sans else et sans branche choisie : rien n'est exécuté.
  i := 50;
  case i of
    1: showmessage('un');
    2: showmessage('deux');
  end;
  // Branche composée.
  case i mod 7 of
    1:
      begin
        showmessage('reste un');
        showmessage('deuxieme ligne');
      end;
  else
    begin
      showmessage('autre reste');
    end;
  end;
  case i > 10 of
    True: showmessage('vrai');
    False: showmessage('faux');
  end;
  case i div 10 of
    5: case i mod 10 of
         0: showmessage('cinquante');
       else
         showmessage('cinquante et quelque');
       end;
  end;
  case 'Y' of
    'A'..'M': showmessage('premiere moitie');
    'N'..'Z': showmessage('seconde moitie');
  end;
end.
