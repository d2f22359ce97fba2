// attendu: 1 (15:12)
// La variable d'une boucle for passée à un paramètre var dans le corps : position de la
// variable (Free Pascal : « Illegal assignment to for-loop variable » à la même ligne).
program for_variable_var_parameter;
var
  i: Integer;

procedure Avance(var k: Integer);
begin
  k := k + 1;
end;

begin
  for i := 1 to 10 do
    Avance(i);
end.
