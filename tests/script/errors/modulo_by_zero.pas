// attendu: 2 (8:18)
// Reste d'une division par zéro : position de l'opérateur mod.
program modulo_by_zero;
var
  i, n: Integer;
begin
  for i := 3 downto 0 do
    n := 100 + 7 mod i;
  showmessage(IntToStr(n));
end.
