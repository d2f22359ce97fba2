program multidim;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Tableaux dynamiques à plusieurs dimensions, comparaison avec nil.
var
  grille: array of array of Integer;
  cube: array of array of array of string;
  lignes: array of string;
  vide: array of array of Integer;
  i, j, k, total: Integer;

function Compte(const a: array of string): Integer;
begin
  Result := Length(a);
end;

begin
  if grille = nil then
    showmessage('grille vide');
  SetLength(grille, 4, 6);
  if grille <> nil then
    showmessage('grille ' + IntToStr(Length(grille)) + 'x' + IntToStr(Length(grille[0])));
  for i := 0 to High(grille) do
    for j := 0 to High(grille[i]) do
      grille[i][j] := i * 10 + j;
  total := 0;
  for i := 0 to High(grille) do
    for j := 0 to High(grille[i]) do
      total := total + grille[i, j];
  showmessage('total ' + IntToStr(total));
  // Une ligne peut être redimensionnée seule.
  SetLength(grille[2], 2);
  showmessage(IntToStr(Length(grille[1])) + ' ' + IntToStr(Length(grille[2])) + ' ' +
    IntToStr(grille[2][1]));
  SetLength(grille, 2, 3);
  showmessage(IntToStr(Length(grille)) + ' ' + IntToStr(Length(grille[0])) + ' ' +
    IntToStr(Length(grille[1])) + ' ' + IntToStr(grille[1][2]));
  SetLength(cube, 2, 3, 4);
  for i := 0 to 1 do
    for j := 0 to 2 do
      for k := 0 to 3 do
        cube[i][j][k] := Chr(Ord('a') + i) + IntToStr(j) + IntToStr(k);
  showmessage(cube[0][0][0] + ' ' + cube[1][2][3] + ' ' + IntToStr(Compte(cube[1][1])));
  SetLength(vide, 0, 5);
  if vide = nil then
    showmessage('toujours vide');
  SetLength(lignes, 2);
  lignes[0] := 'a';
  SetLength(lignes, 0);
  if lignes = nil then
    showmessage('lignes vidées');
  lignes := nil;
  showmessage(IntToStr(Length(lignes)));
  // Un tableau dynamique donné par ses éléments.
  lignes := ['rush', 'montage'];
  grille := [[1, 2], [3, 4, 5], []];
  showmessage(lignes[1] + ' ' + IntToStr(Length(grille)) + ' ' + IntToStr(Length(grille[1])) +
    ' ' + IntToStr(grille[1][2]) + ' ' + IntToStr(Length(grille[2])));
  lignes := [];
  if lignes = nil then
    showmessage('vide à nouveau');
end.
