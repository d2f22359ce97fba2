// attendu: 2 (9:6)
// Indice hors des bornes d'un tableau statique (écriture) : position du « [ ».
program static_index;
var
  t: array[1..10] of Integer;
  i: Integer;
begin
  for i := 1 to 11 do
    t[i] := i;
  showmessage('jamais');
end.
