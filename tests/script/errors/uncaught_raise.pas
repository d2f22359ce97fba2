// attendu: 2 (8:5)
// Exception levée et jamais attrapée : position du mot raise. Le message
// de l'exception doit figurer dans l'erreur.
program uncaught_raise;
procedure Verifier(n: Integer);
begin
  if n < 0 then
    raise Exception.Create('valeur negative');
end;

begin
  Verifier(1);
  Verifier(-1);
  showmessage('jamais');
end.
