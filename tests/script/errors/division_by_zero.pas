// attendu: 2 (9:10)
// Division entière par zéro : position de l'opérateur div.
program division_by_zero;
var
  a, b, r: Integer;
begin
  a := 10;
  b := 0;
  r := a div b;
  showmessage(IntToStr(r));
end.
