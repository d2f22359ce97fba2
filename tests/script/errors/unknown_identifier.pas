// attendu: 1 (8:12)
// Identificateur inconnu : position du nom inconnu (« total »).
program unknown_identifier;
var
  n: Integer;
begin
  n := 1;
  n := n + total;
  showmessage(IntToStr(n));
end.
