// attendu: 1 (6:3)
// Affectation à une constante : position du nom de la constante.
program assign_to_constant;
const Limite = 10;
begin
  Limite := 20;
  showmessage(IntToStr(Limite));
end.
