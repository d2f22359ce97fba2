program enumsets;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Énumérations, intervalles et ensembles.
type
  TCouleur = (Rouge, Vert, Bleu, Jaune);
  TJour = (Lundi, Mardi, Mercredi, Jeudi, Vendredi, Samedi, Dimanche);
  TOuvre = Lundi..Vendredi;
  TChiffre = 0..9;
  TLettre = 'a'..'z';
  TJours = set of TJour;
  TPetits = set of 0..31;
  TLettres = set of TLettre;

var
  Noms: array[Rouge..Jaune] of string;
  c: TCouleur;
  j: TJour;
  o: TOuvre;
  d: TChiffre;
  l: TLettre;
  we, semaine, tous: TJours;
  p, q: TPetits;
  i: Integer;
  s: string;
  voyelles: TLettres;

function ListeJours(e: TJours): string;
var
  x: TJour;
begin
  Result := '';
  for x := Lundi to Dimanche do
    if x in e then
      Result := Result + IntToStr(Ord(x));
  Result := '[' + Result + ']';
end;

function ListePetits(e: TPetits): string;
var
  x: Integer;
begin
  Result := '';
  for x := 0 to 31 do
    if x in e then
      Result := Result + ' ' + IntToStr(x);
  Result := '{' + Result + ' }';
end;

begin
  Noms[Rouge] := 'rouge';
  Noms[Vert] := 'vert';
  Noms[Bleu] := 'bleu';
  Noms[Jaune] := 'jaune';
  c := Bleu;
  showmessage(Noms[c] + ' ' + IntToStr(Ord(c)));
  s := '';
  for c := Low(TCouleur) to High(TCouleur) do
    s := s + Noms[c] + ';';
  showmessage(s);
  if Rouge < Jaune then showmessage('Rouge < Jaune');
  c := Rouge;
  Inc(c);
  Inc(c);
  showmessage(Noms[c]);
  Dec(c);
  showmessage(Noms[c]);
  o := Mercredi;
  showmessage('ouvre ' + IntToStr(Ord(o)) + ' ' + IntToStr(Ord(High(TOuvre))));
  d := 7;
  showmessage('chiffre ' + IntToStr(d + 1) + ' ' + IntToStr(High(TChiffre)));
  l := 'k';
  showmessage('lettre ' + l);
  we := [Samedi, Dimanche];
  semaine := [Lundi..Vendredi];
  tous := we + semaine;
  showmessage(ListeJours(we) + ListeJours(semaine) + ListeJours(tous));
  showmessage(ListeJours(tous - we) + ListeJours(tous * we) + ListeJours([]));
  if Samedi in we then showmessage('samedi en week-end');
  if not (Lundi in we) then showmessage('lundi hors week-end');
  if we <= tous then showmessage('inclus');
  if we = [Dimanche, Samedi] then showmessage('ensembles egaux');
  if we <> semaine then showmessage('ensembles differents');
  j := Mardi;
  semaine := semaine - [j];
  showmessage(ListeJours(semaine));
  semaine := semaine + [j, Dimanche];
  showmessage(ListeJours(semaine));
  p := [1, 3, 5..8, 31];
  q := [0, 5, 6, 20];
  showmessage(ListePetits(p) + ListePetits(q));
  showmessage(ListePetits(p * q) + ListePetits(p - q) + ListePetits(p + q));
  i := 31;
  if i in p then showmessage('31 dans p');
  i := 4;
  if not (i in p) then showmessage('4 hors de p');
  voyelles := ['a', 'e', 'i', 'o', 'u', 'y'];
  i := 0;
  for l := 'a' to 'z' do
    if l in voyelles then Inc(i);
  showmessage('voyelles ' + IntToStr(i));
  i := 0;
  for d := 0 to 9 do
    if (d in [2, 3, 5, 7]) then Inc(i);
  showmessage('premiers ' + IntToStr(i));
  if 'x' in ['a'..'z'] then showmessage('x minuscule');
end.
