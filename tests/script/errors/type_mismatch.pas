// attendu: 1 (7:8)
// Types incompatibles dans une affectation : position du premier caractère de l'expression affectée.
program type_mismatch;
var
  n: Integer;
begin
  n := 'douze';
  showmessage(IntToStr(n));
end.
