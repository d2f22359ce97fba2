// attendu: 1 (7:12)
// then manquant : position du jeton trouvé à sa place (« showmessage »).
program missing_then;
var
  n: Integer;
begin
  if n > 0 showmessage('positif');
end.
