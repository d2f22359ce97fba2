program forin;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// for … in : caractères d'une chaîne, éléments d'un tableau, membres d'un ensemble.
type
  TJour = (Lundi, Mardi, Mercredi, Jeudi, Vendredi, Samedi, Dimanche);
  TClip = record
    Nom: string;
    Images: Integer;
  end;

const
  Noms: array[TJour] of string = ('lun', 'mar', 'mer', 'jeu', 'ven', 'sam', 'dim');

var
  s, r: string;
  c: Char;
  n, total: Integer;
  fixes: array[1..4] of Integer;
  dyn: array of string;
  clips: array of TClip;
  clip: TClip;
  jours: set of TJour;
  j: TJour;
  i: Integer;

begin
  s := 'Scène 12';
  r := '';
  for c in s do
    r := c + r;
  showmessage(r);
  n := 0;
  for c in 'abracadabra' do
    if c = 'a' then
      Inc(n);
  showmessage(IntToStr(n));
  for i := 1 to 4 do
    fixes[i] := i * 7;
  total := 0;
  for n in fixes do
    total := total + n;
  showmessage(IntToStr(total));
  SetLength(dyn, 3);
  dyn[0] := 'un';
  dyn[1] := 'deux';
  dyn[2] := 'trois';
  r := '';
  for s in dyn do
  begin
    if s = 'deux' then
      Continue;
    r := r + s + ';';
  end;
  showmessage(r);
  SetLength(clips, 2);
  clips[0].Nom := 'a';
  clips[0].Images := 250;
  clips[1].Nom := 'b';
  clips[1].Images := 125;
  total := 0;
  for clip in clips do
    total := total + clip.Images;
  showmessage(IntToStr(total) + ' ' + clip.Nom);
  jours := [Mardi, Jeudi, Dimanche];
  r := '';
  for j in jours do
    r := r + Noms[j] + ' ';
  showmessage(r);
  r := '';
  for j in [Vendredi, Lundi, Samedi] do
  begin
    r := r + Noms[j];
    if j = Vendredi then
      Break;
  end;
  showmessage(r);
  dyn := nil;
  n := 0;
  for s in dyn do
    Inc(n);
  for c in '' do
    Inc(n);
  showmessage(IntToStr(n));
end.
