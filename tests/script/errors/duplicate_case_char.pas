// attendu: 1 (11:10)
// Caractère déjà pris par un intervalle, dans la liste d'une autre branche : position de
// l'étiquette en double (Free Pascal : « duplicate case label » à la même ligne).
program duplicate_case_char;
var
  c: Char;
begin
  c := 'b';
  case c of
    'a'..'f': c := 'x';
    'z', 'c': c := 'y';
  end;
end.
