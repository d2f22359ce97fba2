// attendu: 2 (10:22)
// Indice négatif dans une expression (lecture d'un tableau statique à bornes 0..4) : position du « [ ».
program negative_index;
var
  t: array[0..4] of string;
  i: Integer;
begin
  i := 2;
  t[i] := 'x';
  showmessage('[' + t[i - 3] + ']');
end.
