// attendu: 1 (12:5)
// Valeur déjà prise par un intervalle d'une étiquette précédente : position de la seconde
// étiquette (Free Pascal : « duplicate case label » à la même ligne).
program duplicate_case_label;
var
  n: Integer;
begin
  n := 3;
  case n of
    1..5: n := 0;
    7: n := 1;
    3: n := 2;
  end;
end.
