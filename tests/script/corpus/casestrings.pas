program casestrings;
{$IFNDEF VIDORRA}
// Free Pascal refuse le case de chaînes en mode delphiunicode : ce programme
// est compilé par lui en mode objfpc (chaînes ASCII seulement, pour que
// AnsiString y donne les mêmes résultats).
{$mode objfpc}{$H+}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// case de chaînes : valeurs, listes, intervalles, else, distinction de casse.
function Commande(const s: string): Integer;
begin
  case s of
    'lecture': Result := 1;
    'pause', 'arret': Result := 2;
    'enregistrement': Result := 3;
    '': Result := 0;
  else
    Result := -1;
  end;
end;

function Tranche(const s: string): string;
begin
  case s of
    'a'..'lzz': Result := 'debut';
    'm'..'rzz': Result := 'milieu';
    's'..'zzz': Result := 'fin';
  else
    Result := 'hors';
  end;
end;

var
  mots: array[0..6] of string;
  i: Integer;
  s: string;
begin
  showmessage(IntToStr(Commande('lecture')) + ' ' + IntToStr(Commande('arret')) + ' ' + IntToStr(Commande('pause')) + ' ' + IntToStr(Commande('enregistrement')) + ' ' + IntToStr(Commande('')));
  showmessage(IntToStr(Commande('Lecture')) + ' ' + IntToStr(Commande('lecture ')) + ' ' + IntToStr(Commande('lect')));
  mots[0] := 'avi';
  mots[1] := 'lzz';
  mots[2] := 'mkv';
  mots[3] := 'raw';
  mots[4] := 'wav';
  mots[5] := 'Zoom';
  mots[6] := 'zzzz';
  s := '';
  for i := 0 to 6 do
    s := s + mots[i] + '=' + Tranche(mots[i]) + ' ';
  showmessage(s);
  s := 'mp' + '4';
  case s of
    'mp3': showmessage('audio');
    'mp4': showmessage('video');
  end;
  case LowerCase('DV') of
    'dv': showmessage('dv en minuscules');
  else
    showmessage('pas trouve');
  end;
end.
