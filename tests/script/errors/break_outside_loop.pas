// attendu: 1 (8:5)
// Break hors d'une boucle : position de Break.
program break_outside_loop;
var
  n: Integer;
begin
  if n = 0 then
    Break;
  showmessage('jamais');
end.
