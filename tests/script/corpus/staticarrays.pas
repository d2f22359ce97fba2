program staticarrays;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Tableaux statiques : bornes quelconques, plusieurs dimensions, copie par valeur.
type
  TVecteur = array[1..5] of Integer;
  TGrille = array[0..2, 0..3] of Integer;
  TCube = array[1..2] of array[1..2] of array[1..2] of Integer;

var
  v, w: TVecteur;
  g: TGrille;
  cube: TCube;
  neg: array[-3..3] of Integer;
  noms: array[0..2] of string;
  drapeaux: array[False..True] of string;
  lettres: array['a'..'c'] of Integer;
  i, j, k, total: Integer;
  s: string;

function Somme(const t: TVecteur): Integer;
var
  i: Integer;
begin
  Result := 0;
  for i := Low(t) to High(t) do
    Result := Result + t[i];
end;

procedure Doubler(var t: TVecteur);
var
  i: Integer;
begin
  for i := 1 to 5 do
    t[i] := t[i] * 2;
end;

procedure EssaiCopie(t: TVecteur);
begin
  t[1] := 999;
end;

begin
  for i := 1 to 5 do
    v[i] := i * i;
  showmessage('somme ' + IntToStr(Somme(v)) + ' bornes ' + IntToStr(Low(v)) + '..' + IntToStr(High(v)) + ' longueur ' + IntToStr(Length(v)));
  w := v;
  w[1] := 100;
  showmessage('copie ' + IntToStr(v[1]) + ' ' + IntToStr(w[1]));
  EssaiCopie(v);
  showmessage('par valeur ' + IntToStr(v[1]));
  Doubler(v);
  showmessage('par var ' + IntToStr(v[1]) + ' ' + IntToStr(v[5]));
  for i := 0 to 2 do
    for j := 0 to 3 do
      g[i, j] := i * 10 + j;
  s := '';
  for i := 0 to 2 do
  begin
    for j := 0 to 3 do
      s := s + IntToStr(g[i][j]) + ' ';
    s := s + '/ ';
  end;
  showmessage(s);
  showmessage('g[2,3] ' + IntToStr(g[2, 3]) + ' g[1][2] ' + IntToStr(g[1][2]));
  showmessage('dimensions ' + IntToStr(High(g)) + ' ' + IntToStr(High(g[0])));
  total := 0;
  for i := 1 to 2 do
    for j := 1 to 2 do
      for k := 1 to 2 do
      begin
        cube[i][j][k] := i * 100 + j * 10 + k;
        total := total + cube[i, j, k];
      end;
  showmessage('cube ' + IntToStr(cube[2][1][2]) + ' total ' + IntToStr(total));
  for i := -3 to 3 do
    neg[i] := i * i * i;
  showmessage('negatif ' + IntToStr(neg[-3]) + ' ' + IntToStr(neg[0]) + ' ' + IntToStr(neg[3]) + ' ' + IntToStr(Low(neg)));
  noms[0] := 'zero';
  noms[1] := 'un';
  noms[2] := 'deux';
  noms[1] := noms[1] + '!';
  showmessage(noms[0] + ' ' + noms[1] + ' ' + noms[2] + ' ' + noms[2][1]);
  drapeaux[False] := 'non';
  drapeaux[True] := 'oui';
  showmessage(drapeaux[3 > 2] + ' ' + drapeaux[3 < 2]);
  lettres['a'] := 1;
  lettres['b'] := 2;
  lettres['c'] := lettres['a'] + lettres['b'];
  showmessage('lettres ' + IntToStr(lettres['c']));
  v[v[1] div 2] := 7;
  showmessage('indice calcule ' + IntToStr(v[1]));
end.
