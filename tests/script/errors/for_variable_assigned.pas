// attendu: 1 (12:5)
// Affectation à la variable d'une boucle for dans son corps : position de la variable
// (Free Pascal : « Illegal assignment to for-loop variable » à la même ligne).
program for_variable_assigned;
var
  i, n: Integer;
begin
  n := 0;
  for i := 1 to 10 do
  begin
    n := n + i;
    i := i + 1;
  end;
end.
