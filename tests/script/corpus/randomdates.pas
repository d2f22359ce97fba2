program randomdates;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Random et dates : seules des propriétés sont vérifiées pour les valeurs
// qui changent d'une exécution à l'autre ; FormatDateTime sur des dates fixes.
function B2S(v: Boolean): string;
begin
  if v then Result := 'TRUE' else Result := 'FALSE';
end;

var
  i, r, distincts: Integer;
  vus: array[0..9] of Boolean;
  dansBornes, reelDansBornes: Boolean;
  x: Double;
  d, maintenant, jour, heure: TDateTime;
begin
  Randomize;
  for i := 0 to 9 do
    vus[i] := False;
  dansBornes := True;
  for i := 1 to 1000 do
  begin
    r := Random(10);
    if not (r in [0..9]) then
      dansBornes := False
    else
      vus[r] := True;
  end;
  distincts := 0;
  for i := 0 to 9 do
    if vus[i] then Inc(distincts);
  showmessage('Random(10) dans [0..9] : ' + B2S(dansBornes));
  showmessage('valeurs vues : ' + IntToStr(distincts));
  reelDansBornes := True;
  for i := 1 to 1000 do
  begin
    x := Random;
    if (x < 0) or (x >= 1) then reelDansBornes := False;
  end;
  showmessage('Random dans [0;1[ : ' + B2S(reelDansBornes));
  showmessage('Random(1) = ' + IntToStr(Random(1)));
  maintenant := Now;
  jour := Date;
  heure := Time;
  showmessage('Now > 45000 : ' + B2S(maintenant > 45000));
  showmessage('Date <= Now : ' + B2S(jour <= maintenant));
  showmessage('Date entiere : ' + B2S(Trunc(jour) = jour));
  showmessage('Now - Date < 1 : ' + B2S(maintenant - jour < 1));
  showmessage('0 <= Time < 1 : ' + B2S((heure >= 0) and (heure < 1)));
  showmessage('annee >= 2024 : ' + B2S(StrToInt(FormatDateTime('yyyy', maintenant)) >= 2024));
  showmessage('DateToStr non vide : ' + B2S(Length(DateToStr(jour)) > 0));
  showmessage('TimeToStr non vide : ' + B2S(Length(TimeToStr(heure)) > 0));
  d := 45000.75;
  showmessage(FormatDateTime('yyyy-mm-dd hh:nn:ss', d));
  showmessage(FormatDateTime('dd.mm.yy', d));
  showmessage(FormatDateTime('hh:mm', d));
  showmessage(FormatDateTime('yyyy-mm-dd hh:nn:ss', d + 1.25));
  d := 0.5 + 1 / 24 / 60 * 5 + 7 / 86400;
  showmessage(FormatDateTime('hh:nn:ss', d));
  d := 36526;
  showmessage(FormatDateTime('yyyy-mm-dd', d) + ' ' + FormatDateTime('yyyy-mm-dd', d - 1));
  showmessage(FormatDateTime('yyyymmdd"_"hhnnss', 45292.999988425926));
end.
