// attendu: 1 (8:3)
// Point-virgule manquant entre deux instructions : position du jeton trouvé à sa place (« b »).
program missing_semicolon;
var
  a, b: Integer;
begin
  a := 1
  b := 2;
  showmessage(IntToStr(a + b));
end.
