// attendu: 2 (10:12)
// Erreur non attrapée traversant un finally : le finally s'exécute (sa ligne
// est affichée), puis le programme s'arrête ; position de l'opérateur div.
program error_after_finally;
var
  n: Integer;
begin
  n := 0;
  try
    n := 5 div n;
  finally
    showmessage('finally');
  end;
  showmessage('jamais');
end.
