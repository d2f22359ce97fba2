// attendu: 1 (6:3)
// Identificateur déclaré deux fois dans la même portée : position de la seconde déclaration.
program duplicate_identifier;
var
  nom: string;
  Nom: Integer;
begin
  showmessage('jamais');
end.
